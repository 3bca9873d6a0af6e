// The slots' devices on Windows: file HANDLEs from CreateFile, ReadFile and
// WriteFile.  The system's error codes are the runtime's own numbering.
#include <windows.h>

#include <cstdio>

#include "runtime/internal.h"

namespace {

HANDLE handle(rt_device device) { return reinterpret_cast<HANDLE>(device); }

// One ReadFile or WriteFile call moves at most this much, so that a count
// always fits the system's 32-bit fields with room to spare.
constexpr uint32_t largest_call = 1u << 30;

}  // namespace

uint32_t rt_device_error(uint32_t fallback)
{
    DWORD code = GetLastError();
    return code != 0 ? code : fallback;
}

rt_device rt_device_standard(int slot)
{
    static const DWORD which[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    if (slot < 0 || slot > 2) {
        return -1;
    }
    return reinterpret_cast<rt_device>(GetStdHandle(which[slot]));
}

int rt_device_standard_text()
{
    // Lines end with CR LF here: the standard slots translate.
    return 1;
}

int rt_device_open(const char* path, unsigned flags, rt_device* device)
{
    DWORD access = 0;
    if (flags & RT_OPEN_READ) {
        access |= GENERIC_READ;
    }
    if (flags & RT_OPEN_WRITE) {
        access |= GENERIC_WRITE;
    }
    const bool create = (flags & RT_OPEN_CREATE) != 0;
    const bool truncate = (flags & RT_OPEN_TRUNCATE) && (flags & RT_OPEN_WRITE);
    DWORD disposition = create ? (truncate ? CREATE_ALWAYS : OPEN_ALWAYS) : (truncate ? TRUNCATE_EXISTING : OPEN_EXISTING);
    // Shared as a POSIX file is: others may read, write, rename and delete it
    // while it is open.  A folder cannot be opened this way, so it is refused.
    HANDLE opened = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        rt_set_last_error(rt_device_error(RT_ERROR_FILE_NOT_FOUND));
        return 0;
    }
    *device = reinterpret_cast<rt_device>(opened);
    return 1;
}

int rt_device_read(rt_device device, char* buffer, uint32_t count)
{
    DWORD got = 0;
    if (!ReadFile(handle(device), buffer, count < largest_call ? count : largest_call, &got, nullptr)) {
        DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) {
            return 0;   // the writer has gone: the end of the input
        }
        rt_set_last_error(code != 0 ? static_cast<uint32_t>(code) : static_cast<uint32_t>(RT_ERROR_READ_FAULT));
        return -1;
    }
    return static_cast<int>(got);
}

uint32_t rt_device_write(rt_device device, const char* bytes, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        uint32_t part = count - done < largest_call ? count - done : largest_call;
        DWORD put = 0;
        if (!WriteFile(handle(device), bytes + done, part, &put, nullptr)) {
            rt_set_last_error(rt_device_error(RT_ERROR_WRITE_FAULT));
            break;
        }
        if (put == 0) {
            rt_set_last_error(RT_ERROR_HANDLE_DISK_FULL);
            break;
        }
        done += put;
    }
    return done;
}

int rt_device_close(rt_device device)
{
    if (!CloseHandle(handle(device))) {
        rt_set_last_error(rt_device_error(RT_ERROR_INVALID_HANDLE));
        return -1;
    }
    return 0;
}

int64_t rt_device_seek(rt_device device, int64_t offset, int whence)
{
    DWORD method = whence == SEEK_SET ? FILE_BEGIN : whence == SEEK_END ? FILE_END : FILE_CURRENT;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    position.QuadPart = 0;
    if (GetFileType(handle(device)) != FILE_TYPE_DISK || !SetFilePointerEx(handle(device), distance, &position, method)) {
        if (GetLastError() == 0) {
            SetLastError(ERROR_INVALID_FUNCTION);
        }
        return -1;
    }
    return position.QuadPart;
}

int rt_device_read_at(rt_device device, void* buffer, uint32_t count, int64_t offset)
{
    // A read at an offset moves a synchronous handle's position: put it back.
    int64_t position = rt_device_seek(device, 0, SEEK_CUR);
    if (position < 0 || offset < 0) {
        return -1;
    }
    OVERLAPPED at;
    ZeroMemory(&at, sizeof at);
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD got = 0;
    BOOL done = ReadFile(handle(device), buffer, count, &got, &at);
    DWORD code = GetLastError();
    rt_device_seek(device, position, SEEK_SET);
    if (!done && code != ERROR_HANDLE_EOF) {
        return -1;
    }
    return done ? static_cast<int>(got) : 0;
}

int rt_device_is_seekable(rt_device device)
{
    return GetFileType(handle(device)) == FILE_TYPE_DISK;
}

int rt_device_is_terminal(rt_device device)
{
    return GetFileType(handle(device)) == FILE_TYPE_CHAR;
}
