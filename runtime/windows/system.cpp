// The process on Windows: the thread-local slot, the standard error handle
// and the end of the process.
#include <windows.h>

#include <cstdlib>

#include "runtime/internal.h"

namespace {

// A fiber-local slot is a thread-local slot whose values the system hands to
// a release routine when their thread ends.
DWORD record_slot = FLS_OUT_OF_INDEXES;

void WINAPI free_value(void* value)
{
    std::free(value);
}

}  // namespace

int rt_tls_create()
{
    record_slot = FlsAlloc(free_value);
    return record_slot != FLS_OUT_OF_INDEXES;
}

void* rt_tls_get()
{
    return record_slot != FLS_OUT_OF_INDEXES ? FlsGetValue(record_slot) : nullptr;
}

int rt_tls_set(void* value)
{
    return record_slot != FLS_OUT_OF_INDEXES && FlsSetValue(record_slot, value);
}

void rt_tls_delete()
{
    if (record_slot != FLS_OUT_OF_INDEXES) {
        FlsFree(record_slot);
        record_slot = FLS_OUT_OF_INDEXES;
    }
}

void rt_write_standard_error(const char* text, size_t length)
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) {
        return;
    }
    while (length > 0) {
        DWORD put = 0;
        DWORD part = length < 65536 ? static_cast<DWORD>(length) : 65536;
        if (!WriteFile(error, text, part, &put, nullptr) || put == 0) {
            return;
        }
        text += put;
        length -= put;
    }
}

void rt_end_process(int status)
{
    // Ends the process with nothing more of the program's own running (no
    // static destructors, no C library exit handlers), as _exit does.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status));
}
