// The callbacks' side of the edge: the system's window, dialog and abort
// procedures that stand for the console's, with the system's calling
// convention (stdcall on 32 bits), and the pending exception they keep.
#include "win32/callbacks.h"

namespace w32 {

std::exception_ptr pendingException;

void holdException(std::exception_ptr caught)
{
    if (!pendingException) {
        pendingException = std::move(caught);
    }
}

namespace {

// ---------------------------------------------------------------------------
// Window procedures: one system procedure per registered class, each bound to
// its slot of this table.

enum { classSlots = 8 };
plWndProc classProcedures[classSlots];

template <int slot>
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return classProcedures[slot](reinterpret_cast<plHwnd>(window), message, wParam, lParam);
    } catch (...) {
        holdException(std::current_exception());
        return 0;
    }
}

const WNDPROC systemProcedures[classSlots] = {
    windowProcedure<0>, windowProcedure<1>, windowProcedure<2>, windowProcedure<3>,
    windowProcedure<4>, windowProcedure<5>, windowProcedure<6>, windowProcedure<7>,
};

// ---------------------------------------------------------------------------
// Abort procedures, by device context: one print job at a time, but a few
// contexts may be alive at once.

enum { abortSlots = 4 };
struct AbortBinding {
    HDC dc;
    plAbortProc proc;
};
AbortBinding abortBindings[abortSlots];

}  // namespace

BOOL CALLBACK abortProcedure(HDC dc, int error)
{
    for (const AbortBinding& binding : abortBindings) {
        if (binding.dc == dc && binding.proc != nullptr) {
            try {
                return binding.proc(reinterpret_cast<plHdc>(dc), error) ? TRUE : FALSE;
            } catch (...) {
                // The job cannot go on once the console is being left.
                holdException(std::current_exception());
                return FALSE;
            }
        }
    }
    return TRUE;
}

WNDPROC windowProcedureFor(plWndProc proc)
{
    for (int slot = 0; slot < classSlots; ++slot) {
        if (classProcedures[slot] == proc) {
            return systemProcedures[slot];
        }
    }
    for (int slot = 0; slot < classSlots; ++slot) {
        if (classProcedures[slot] == nullptr) {
            classProcedures[slot] = proc;
            return systemProcedures[slot];
        }
    }
    return nullptr;
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    plDlgProc proc = nullptr;
    if (message == WM_INITDIALOG) {
        const DialogBinding* binding = reinterpret_cast<const DialogBinding*>(lParam);
        proc = binding->proc;
        lParam = binding->param;
        SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(proc));
    } else {
        proc = reinterpret_cast<plDlgProc>(GetWindowLongPtrA(dialog, DWLP_USER));
    }
    if (proc == nullptr) {
        // Messages before the dialog's initialisation.
        return FALSE;
    }
    try {
        return proc(reinterpret_cast<plHwnd>(dialog), message, wParam, lParam);
    } catch (...) {
        holdException(std::current_exception());
        return FALSE;
    }
}

int setAbortProcedure(HDC dc, plAbortProc proc)
{
    AbortBinding* free = nullptr;
    for (AbortBinding& binding : abortBindings) {
        if (binding.dc == dc) {
            binding.proc = proc;
            return 1;
        }
        if (binding.dc == nullptr && free == nullptr) {
            free = &binding;
        }
    }
    if (free == nullptr) {
        return 0;
    }
    free->dc = dc;
    free->proc = proc;
    return 1;
}

void forgetAbortProcedure(HDC dc)
{
    for (AbortBinding& binding : abortBindings) {
        if (binding.dc == dc) {
            binding = AbortBinding{};
        }
    }
}

}  // namespace w32
