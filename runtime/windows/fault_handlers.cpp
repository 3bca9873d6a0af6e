// Fatal errors that nothing else handles, on Windows: exceptions of the
// system's structured exception dispatch (processor faults and the like) and
// the terminate path.
//
// The box shows the system's own exception code and the address of the
// faulting instruction from the processor context.  Two handlers share the
// report:
// - a vectored handler takes the processor faults raised in the program's
//   own code.  Nothing in the program handles them, and it sees them even
//   where the dispatch would not reach the top of the stack (a fault in a
//   window procedure that the system called back: a 64-bit system drops such
//   exceptions at the callback's edge);
// - the unhandled-exception filter takes every other exception that nothing
//   handled.
// After the box the system's default handling follows (it may show a report
// of its own) and the process ends: no atexit function runs, no stream is
// flushed.
#include <windows.h>

#include <cstring>
#include <exception>

#include "runtime/internal.h"

namespace {

// The exception codes the language runtimes raise for their own throws: the
// GNU unwinder's ('GCC' and its unwinding variants) and the system's own
// code for a C++ throw.
enum : DWORD {
    codeGnuThrow = 0x20474343u,
    codeGnuUnwind = 0x21474343u,
    codeGnuCollidedUnwind = 0x22474343u,
    codeCppException = 0xE06D7363u,
};

// The unwinding flags of an exception record: unwinding, exit unwind,
// target unwind, collided unwind.
enum : DWORD { unwindingFlags = 0x66u };

// The message box's options: an OK button, task modal, no icon.
enum : unsigned { boxOk = 0x0u, boxTaskModal = 0x2000u };

volatile LONG reported;
volatile LONG terminating;
void (*faultHook)(int code);

// Stack kept back for reporting a stack overflow.
constexpr ULONG reportStack = 256 * 1024;

bool isFault(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_STACK_OVERFLOW:
        return true;
    default:
        return false;
    }
}

// Whether the instruction at address belongs to the program's own image.
bool inProgram(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const char*>(address), &module)) {
        return false;
    }
    return module == GetModuleHandleA(nullptr);
}

uint64_t instructionAddress(const CONTEXT* context)
{
#if defined(_M_X64) || defined(__x86_64__)
    return context->Rip;
#elif defined(_M_IX86) || defined(__i386__)
    return context->Eip;
#else
    return 0;
#endif
}

// The report, once per process.
void report(const EXCEPTION_POINTERS* info)
{
    if (InterlockedExchange(&reported, 1) != 0) {
        return;
    }
    uint64_t address = info->ContextRecord != nullptr ? instructionAddress(info->ContextRecord)
                                                      : reinterpret_cast<uintptr_t>(info->ExceptionRecord->ExceptionAddress);
    char text[RT_FAULT_TEXT_SIZE];
    rt_fault_text(text, info->ExceptionRecord->ExceptionCode, address);
    rt_message_box(text, "Unhandled Exception", boxOk | boxTaskModal);
    if (faultHook) {
        faultHook(static_cast<int>(info->ExceptionRecord->ExceptionCode));
    }
}

LONG WINAPI unhandledFilter(EXCEPTION_POINTERS* info)
{
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (info->ExceptionRecord->ExceptionFlags & unwindingFlags) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (code == codeGnuThrow || code == codeGnuUnwind || code == codeGnuCollidedUnwind) {
        // A C++ throw that found no handler: the unwinder returns and the
        // language runtime calls terminate.
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (code == codeCppException) {
        std::terminate();
    }
    if (reported) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    report(info);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI vectoredHandler(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if ((record->ExceptionFlags & unwindingFlags) || !isFault(record->ExceptionCode) ||
        !inProgram(record->ExceptionAddress) || reported) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    report(info);
    // Nothing in the program handles a fault, so the system's default
    // handling follows now, wherever the dispatch would have stopped; the
    // process ends with the exception code unless a debugger takes over.
    LONG decision = UnhandledExceptionFilter(info);
    if (decision == EXCEPTION_CONTINUE_EXECUTION) {
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void terminateHandler()
{
    InterlockedExchange(&terminating, 1);
    rt_abort();
}

}  // namespace

void rt_install_fault_handlers()
{
    ULONG guarantee = reportStack;
    SetThreadStackGuarantee(&guarantee);
    AddVectoredExceptionHandler(1, vectoredHandler);
    SetUnhandledExceptionFilter(unhandledFilter);
    // The report is ours: the system shows no second one of its own.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    std::set_terminate(terminateHandler);
}

int rt_terminating()
{
    return terminating;
}

void rt_set_fault_hook(void (*hook)(int code))
{
    faultHook = hook;
}
