// The edge between the console's code and the system's: the procedures the
// system calls back (window, dialog and abort procedures) and the calls into
// the system that may call them.
//
// The console's return point is a C++ exception.  It must never unwind
// through the system's own frames: the system's code carries no unwind
// information for it, and a 64-bit system drops exceptions that leave a
// callback.  So every callback catches what escapes the console's procedure
// and keeps it pending, and every call into the system that may have called
// back rethrows it as soon as that call has returned, in the console's own
// code again.
#pragma once

#include <exception>
#include <type_traits>
#include <utility>

#include "platform/platform.h"

namespace w32 {

// The exception caught by a callback during the current call into the system.
extern std::exception_ptr pendingException;

// Keeps what escaped a callback for the caller of the system.  Only the first
// one is kept: a second that follows while the first still waits has been
// thrown by the same abandonment.
void holdException(std::exception_ptr caught);

// Runs one call into the system.  What a callback caught during it is
// rethrown once it returns.  An exception still waiting for an enclosing call
// (a callback of it is running this one) waits on for that call.
template <typename Call>
auto throughSystem(Call call) -> decltype(call())
{
    std::exception_ptr outer = std::exchange(pendingException, nullptr);
    if constexpr (std::is_void_v<decltype(call())>) {
        call();
        std::exception_ptr caught = std::exchange(pendingException, std::move(outer));
        if (caught) {
            std::rethrow_exception(caught);
        }
    } else {
        auto result = call();
        std::exception_ptr caught = std::exchange(pendingException, std::move(outer));
        if (caught) {
            std::rethrow_exception(caught);
        }
        return result;
    }
}

// The system's window procedure for a class whose procedure is proc: each
// class registered gets its own (there is room for a few), which calls proc
// with the system's arguments and catches what escapes it.  Null when no room
// is left.
WNDPROC windowProcedureFor(plWndProc proc);

// The system's dialog procedure that stands for the procedure handed to
// CreateDialogParam through its binding record (the creation parameter).
struct DialogBinding {
    plDlgProc proc;
    plLparam param;
};
INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The system's abort procedure: it calls the procedure bound to the printer
// device context.  Binding returns 0 when no room is left for another context.
BOOL CALLBACK abortProcedure(HDC dc, int error);
int setAbortProcedure(HDC dc, plAbortProc proc);
void forgetAbortProcedure(HDC dc);

// The system's message record for one of the console's: the record it was
// copied from by plGetMessage or plPeekMessage while it still holds the same
// message, or one made now with the current time and pointer position.
MSG systemMessage(const plMsg* message);

}  // namespace w32
