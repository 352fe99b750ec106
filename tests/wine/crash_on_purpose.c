/* Reads address 16 and so crashes: the test command must see a crashing Windows
   program as a failure, with the exit code of an access violation. */
#include <stdint.h>
#include <stdio.h>

int main(void)
{
    volatile uintptr_t address = 16; /* through a variable: the compiler cannot see the fault */
    puts("reading address 16");
    fflush(stdout);
    return *(volatile int *)address;
}
