// Replacing a file's contents at once (POSIX): the new bytes go to a new file
// beside the target, which then takes the target's name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "runtime/runtime.h"

namespace {

// Follows a chain of symbolic links from path to the name it ends at, which
// need not exist yet (a link to a file still to be made).  A link's relative
// target is taken from the link's own folder.  0 when the chain loops or a
// name grows too long.
int follow_links(const char* path, char* out, size_t size)
{
    char current[PATH_MAX];
    if (std::strlen(path) >= sizeof current) {
        return 0;
    }
    std::strcpy(current, path);
    for (int hops = 0; hops < 40; hops++) {
        struct stat info;
        if (lstat(current, &info) != 0 || !S_ISLNK(info.st_mode)) {
            if (std::strlen(current) >= size) {
                return 0;
            }
            std::strcpy(out, current);
            return 1;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(current, target, sizeof target - 1);
        if (length <= 0) {
            return 0;
        }
        target[length] = '\0';
        if (target[0] == '/') {
            std::strcpy(current, target);
            continue;
        }
        const char* slash = std::strrchr(current, '/');
        const size_t folderLength = slash != nullptr ? static_cast<size_t>(slash - current) + 1 : 0;
        if (folderLength + static_cast<size_t>(length) >= sizeof current) {
            return 0;
        }
        std::memcpy(current + folderLength, target, static_cast<size_t>(length) + 1);
    }
    return 0;
}

int write_all(int fd, const char* bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = write(fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    return 1;
}

// Writes the file in place, as a plain write does: a device or pipe as it
// is (one nobody reads fails at once instead of holding the window until a
// reader comes), a regular file truncated first or made new.
int write_in_place(const char* target, const char* bytes, size_t count, int regular)
{
    const int fd = regular ? open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                           : open(target, O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    int ok = 1;
    if (!regular) {
        const int flags = fcntl(fd, F_GETFL);
        ok = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
    }
    ok = ok && write_all(fd, bytes, count);
    if (ok && regular && fsync(fd) != 0) {
        ok = 0;
    }
    return close(fd) == 0 && ok;
}

// The folder refuses new names (or renames over another's file) to this
// user, though the target itself may still be written.
int folder_refused(int error)
{
    return error == EACCES || error == EPERM;
}

}  // namespace

// The target is replaced only once every new byte is on disk.  Where no new
// file can be made beside it, it is written in place as a plain write would.
int rt_replace_file(const char* path, const char* bytes, size_t count)
{
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }

    // Write through a symbolic link to the file it names (made new when the
    // link dangles), as a plain write would; the link stays.
    char target[PATH_MAX];
    if (!follow_links(path, target, sizeof target)) {
        return 0;
    }

    struct stat info;
    const int exists = stat(target, &info) == 0;
    if (exists && (S_ISDIR(info.st_mode) || access(target, W_OK) != 0)) {
        // A folder, or a file the user may not write, is not replaced.
        return 0;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or pipe cannot be replaced; write to it in place.
        return write_in_place(target, bytes, count, 0);
    }

    // The new file: ".name.XXXXXX" beside the target.
    char temporary[PATH_MAX + 16];
    const char* slash = std::strrchr(target, '/');
    const size_t folderLength = slash != nullptr ? static_cast<size_t>(slash - target) + 1 : 0;
    const char* name = target + folderLength;
    size_t nameLength = std::strlen(name);
    if (nameLength > 200) {
        nameLength = 200;   // keep the new name within the folder's name limit
    }
    if (folderLength + 1 + nameLength + 8 >= sizeof temporary) {
        return 0;
    }
    std::memcpy(temporary, target, folderLength);
    temporary[folderLength] = '.';
    std::memcpy(temporary + folderLength + 1, name, nameLength);
    std::memcpy(temporary + folderLength + 1 + nameLength, ".XXXXXX", 8);

    int fd = mkstemp(temporary);
    if (fd < 0) {
        return folder_refused(errno) ? write_in_place(target, bytes, count, 1) : 0;
    }
    // The saved file gets the earlier file's permissions and owner, or those
    // of a newly created file.
    mode_t mode;
    if (exists) {
        mode = info.st_mode & 07777;
        if (fchown(fd, info.st_uid, info.st_gid) != 0) {
            // Only a privileged user may give a file away; keep our own.
        }
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    int ok = fchmod(fd, mode) == 0 && write_all(fd, bytes, count);
    if (ok && fsync(fd) != 0) {
        ok = 0;
    }
    if (close(fd) != 0) {
        ok = 0;
    }
    if (ok && rename(temporary, target) != 0) {
        // A folder that lets this user make files but not replace another
        // user's (a shared folder with the sticky bit): write in place.
        const int error = errno;
        unlink(temporary);
        return folder_refused(error) ? write_in_place(target, bytes, count, 1) : 0;
    }
    if (!ok) {
        unlink(temporary);
    }
    return ok;
}
