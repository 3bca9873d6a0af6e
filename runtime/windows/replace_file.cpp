// Replacing a file's contents at once (Windows): the new bytes go to a new
// file beside the target, which then takes the target's place with
// ReplaceFile (an existing file: its attributes and security stay) or
// MoveFileEx (a new one).
#include <windows.h>

#include <cstring>

#include "runtime/runtime.h"

namespace {

// Writes every byte to the handle; false when the device takes fewer.
bool writeAll(HANDLE file, const char* bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        DWORD part = count - done < (1u << 30) ? static_cast<DWORD>(count - done) : (1u << 30);
        DWORD put = 0;
        if (!WriteFile(file, bytes + done, part, &put, nullptr) || put == 0) {
            return false;
        }
        done += put;
    }
    return true;
}

}  // namespace

// The target is replaced only once every new byte is on disk.
int rt_replace_file(const char* path, const char* bytes, size_t count)
{
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    const size_t pathLength = std::strlen(path);
    if (pathLength >= MAX_PATH) {
        return 0;
    }

    const DWORD attributes = GetFileAttributesA(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        // A folder, or a file the user may not write, is not replaced.
        return 0;
    }

    // A device (a printer port, NUL) cannot be replaced; write to it in place.
    HANDLE probe = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        const DWORD type = GetFileType(probe);
        if (type != FILE_TYPE_DISK) {
            const bool written = writeAll(probe, bytes, count);
            return CloseHandle(probe) && written;
        }
        CloseHandle(probe);
    } else if (exists) {
        // There, but not to be written (in use, or not ours).
        return 0;
    }

    // The new file: "NAME.new" (or a free variant) in the target's folder.
    char folder[MAX_PATH];
    std::memcpy(folder, path, pathLength + 1);
    char* cut = folder + pathLength;
    while (cut > folder && cut[-1] != '\\' && cut[-1] != '/' && cut[-1] != ':') {
        --cut;
    }
    if (cut == folder) {
        folder[0] = '.';
        folder[1] = '\0';
    } else {
        *cut = '\0';
    }
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder, "sav", 0, temporary)) {
        return 0;
    }
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(temporary);
        return 0;
    }
    bool ok = writeAll(file, bytes, count) && FlushFileBuffers(file);
    if (!CloseHandle(file)) {
        ok = false;
    }
    if (ok) {
        if (exists) {
            ok = ReplaceFileA(path, temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
                 MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        } else {
            ok = MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }
    }
    if (!ok) {
        DeleteFileA(temporary);
    }
    return ok ? 1 : 0;
}
