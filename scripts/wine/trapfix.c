/* Preloaded into the 32-bit processes that run under qemu-user (never into native ones).
 *
 * qemu-user delivers the faults of emulated code with the trap number in the signal
 * context set to -1. Wine's 32-bit signal handlers pick the Windows exception from that
 * number, so every access violation would reach the program (and the test that expects
 * a crash to be reported as one) as an illegal instruction. This library wraps the
 * handlers Wine installs for the fault signals and, where the trap number is missing,
 * fills it in from the signal and its si_code as the kernel would have.
 *
 * Freestanding (no 32-bit C headers needed); build:
 *   gcc -m32 -O2 -fPIC -ffreestanding -fno-stack-protector -nostdlib -shared \
 *       -o trapfix-i386.so trapfix.c /lib/i386-linux-gnu/libc.so.6
 */

enum { SIGILL_NR = 4, SIGTRAP_NR = 5, SIGBUS_NR = 7, SIGFPE_NR = 8, SIGSEGV_NR = 11, SIGNAL_LIMIT = 65 };
enum { HAS_SIGINFO = 4 };                 /* SA_SIGINFO */
enum { GREGS_AT = 20, TRAPNO_REG = 12 };  /* i386 ucontext_t: mcontext gregs, REG_TRAPNO */
enum { SI_CODE_AT = 2 };                  /* siginfo_t: signo, errno, code */
enum { TRAP_DIVIDE = 0, TRAP_DEBUG = 1, TRAP_BREAKPOINT = 3, TRAP_OVERFLOW = 4, TRAP_INVALID_OPCODE = 6,
       TRAP_STACK = 12, TRAP_PROTECTION = 13, TRAP_PAGE_FAULT = 14, TRAP_FPU = 16 };

struct i386_sigaction {                   /* the C library's struct sigaction on i386 */
    void *handler;
    unsigned long mask[32];
    int flags;
    void *restorer;
};

typedef void (*info_handler)(int, void *, void *);
typedef int (*sigaction_call)(int, const struct i386_sigaction *, struct i386_sigaction *);

extern void *dlsym(void *handle, const char *name);
extern int unsetenv(const char *name);
#define NEXT_LIBRARY ((void *)-1l)

static info_handler wine_handlers[SIGNAL_LIMIT];
static sigaction_call next_sigaction;

static int trap_for(int signal, int code)
{
    switch (signal) {
    case SIGSEGV_NR: return (code == 1 || code == 2) ? TRAP_PAGE_FAULT : TRAP_PROTECTION; /* MAPERR, ACCERR */
    case SIGBUS_NR: return TRAP_STACK;
    case SIGFPE_NR: return code == 1 ? TRAP_DIVIDE : code == 2 ? TRAP_OVERFLOW : TRAP_FPU;  /* INTDIV, INTOVF */
    case SIGTRAP_NR: return code == 2 ? TRAP_DEBUG : TRAP_BREAKPOINT;                        /* TRAP_TRACE */
    case SIGILL_NR: return TRAP_INVALID_OPCODE;
    }
    return -1;
}

static int is_fault(int signal)
{
    return signal == SIGSEGV_NR || signal == SIGBUS_NR || signal == SIGFPE_NR || signal == SIGTRAP_NR ||
           signal == SIGILL_NR;
}

static void fill_in_trap(int signal, void *info, void *context)
{
    int *registers = (int *)((char *)context + GREGS_AT);
    if (context && info && registers[TRAPNO_REG] == -1)
        registers[TRAPNO_REG] = trap_for(signal, ((int *)info)[SI_CODE_AT]);
    if (wine_handlers[signal]) wine_handlers[signal](signal, info, context);
}

int sigaction(int signal, const struct i386_sigaction *action, struct i386_sigaction *previous)
{
    struct i386_sigaction wrapped;
    info_handler before;
    int result;
    unsigned i;

    if (!next_sigaction) next_sigaction = (sigaction_call)dlsym(NEXT_LIBRARY, "sigaction");
    if (!next_sigaction) return -1;
    if (signal <= 0 || signal >= SIGNAL_LIMIT || !is_fault(signal)) return next_sigaction(signal, action, previous);

    before = wine_handlers[signal];
    if (action && (action->flags & HAS_SIGINFO) && (unsigned long)action->handler > 1 &&
        action->handler != (void *)fill_in_trap) {
        for (i = 0; i < sizeof wrapped; i++) ((char *)&wrapped)[i] = ((const char *)action)[i];
        wrapped.handler = (void *)fill_in_trap;
        wine_handlers[signal] = (info_handler)action->handler;
        result = next_sigaction(signal, &wrapped, previous);
        if (result) wine_handlers[signal] = before;
    } else {
        result = next_sigaction(signal, action, previous);
        if (!result && action) wine_handlers[signal] = 0;
    }
    /* Callers see the handler they installed, not the wrapper. */
    if (!result && previous && previous->handler == (void *)fill_in_trap) previous->handler = (void *)before;
    return result;
}

__attribute__((constructor)) static void keep_out_of_native_children(void)
{
    /* The 64-bit processes this one starts run natively and must not load a 32-bit library. */
    unsetenv("LD_PRELOAD");
}
