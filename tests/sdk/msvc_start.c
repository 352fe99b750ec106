/* The start of a console program where no MSVC runtime is at hand: msvcrt.dll sets
 * itself up when it loads, and exit() flushes stdout. */
int main(void);
void __cdecl exit(int status);

void mainCRTStartup(void)
{
    exit(main());
}
