// Fatal errors that nothing else handles: processor faults and the
// terminate path.
//
// A processor fault (invalid memory access, division by zero, illegal
// instruction, bus error) is reported in a message box with the platform's
// exception code and the address of the faulting instruction; then the
// fault's default action ends the process: no atexit function runs and no
// stream is flushed.  The handlers run on an alternate signal stack, so a
// fault from a stack overflow is reported too.
#include "runtime/internal.h"

#include <csignal>
#include <cstring>
#include <exception>
#include <ucontext.h>

namespace {

enum : uint32_t {
    codeAccessViolation = 0xC0000005u,
    codeDatatypeMisalignment = 0x80000002u,
    codeIllegalInstruction = 0xC000001Du,
    codePrivilegedInstruction = 0xC0000096u,
    codeIntegerDivideByZero = 0xC0000094u,
    codeIntegerOverflow = 0xC0000095u,
    codeFloatDenormalOperand = 0xC000008Du,
    codeFloatDivideByZero = 0xC000008Eu,
    codeFloatInexactResult = 0xC000008Fu,
    codeFloatInvalidOperation = 0xC0000090u,
    codeFloatOverflow = 0xC0000091u,
    codeFloatUnderflow = 0xC0000093u,
    codeArrayBoundsExceeded = 0xC000008Cu,
};

// The message box's options: an OK button, task modal, no icon.
enum : unsigned { boxOk = 0x0u, boxTaskModal = 0x2000u };

const int faultSignals[] = {SIGSEGV, SIGFPE, SIGILL, SIGBUS};

// The alternate stack also carries the message box, which the window system
// may answer through a scripted front end.
alignas(16) char faultStack[1 << 20];

volatile sig_atomic_t inFault;
volatile sig_atomic_t terminating;
void (*faultHook)(int signal);

// The faulting instruction's address from the processor context.
uint64_t faultAddress(const siginfo_t* info, void* context)
{
    const ucontext_t* uc = static_cast<const ucontext_t*>(context);
    (void)info;
    (void)uc;
#if defined(__x86_64__)
    return static_cast<uint64_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<uint64_t>(static_cast<uint32_t>(uc->uc_mcontext.gregs[REG_EIP]));
#elif defined(__aarch64__)
    return static_cast<uint64_t>(uc->uc_mcontext.pc);
#else
    // For SIGILL and SIGFPE the kernel reports the instruction's address here.
    return reinterpret_cast<uint64_t>(info->si_addr);
#endif
}

void endByDefaultAction(int signal)
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    // Still blocked while this handler runs: delivered, with the default
    // action, as soon as the handler returns, whether or not the faulting
    // instruction would fault again.
    raise(signal);
}

void faultHandler(int signal, siginfo_t* info, void* context)
{
    if (inFault) {
        // A fault while reporting a fault: end at once.
        endByDefaultAction(signal);
        return;
    }
    inFault = 1;

    char text[RT_FAULT_TEXT_SIZE];
    rt_fault_text(text, rt_fault_code(signal, info ? info->si_code : 0), faultAddress(info, context));

    rt_message_box(text, "Unhandled Exception", boxOk | boxTaskModal);
    if (faultHook) {
        faultHook(signal);
    }
    endByDefaultAction(signal);
}

[[noreturn]] void terminateHandler()
{
    terminating = 1;
    rt_abort();
}

}  // namespace

uint32_t rt_fault_code(int signal, int code)
{
    switch (signal) {
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return codeIntegerDivideByZero;
        case FPE_INTOVF:
            return codeIntegerOverflow;
        case FPE_FLTDIV:
            return codeFloatDivideByZero;
        case FPE_FLTOVF:
            return codeFloatOverflow;
        case FPE_FLTUND:
            return codeFloatUnderflow;
        case FPE_FLTRES:
            return codeFloatInexactResult;
        case FPE_FLTSUB:
            return codeArrayBoundsExceeded;
        case FPE_FLTINV:
            return codeFloatInvalidOperation;
        default:
            return codeFloatDenormalOperand;
        }
    case SIGILL:
        return code == ILL_PRVOPC || code == ILL_PRVREG ? codePrivilegedInstruction : codeIllegalInstruction;
    case SIGBUS:
        return code == BUS_ADRALN ? codeDatatypeMisalignment : codeAccessViolation;
    default:
        return codeAccessViolation;
    }
}

void rt_install_fault_handlers()
{
    stack_t stack;
    std::memset(&stack, 0, sizeof stack);
    stack.ss_sp = faultStack;
    stack.ss_size = sizeof faultStack;
    sigaltstack(&stack, nullptr);

    for (int signal : faultSignals) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = faultHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int other : faultSignals) {
            sigaddset(&action.sa_mask, other);
        }
        sigaction(signal, &action, nullptr);
    }

    std::set_terminate(terminateHandler);
}

int rt_terminating()
{
    return terminating;
}

void rt_set_fault_hook(void (*hook)(int signal))
{
    faultHook = hook;
}
