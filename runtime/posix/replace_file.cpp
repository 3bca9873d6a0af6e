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

// The target is replaced only once every new byte is on disk.
int rt_replace_file(const char* path, const char* bytes, size_t count)
{
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }

    // Write through a symbolic link to the file it names, as a plain write would.
    char resolved[PATH_MAX];
    const char* target = path;
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode) && realpath(path, resolved) != nullptr) {
        target = resolved;
    }

    const int exists = stat(target, &info) == 0;
    if (exists && (S_ISDIR(info.st_mode) || access(target, W_OK) != 0)) {
        // A folder, or a file the user may not write, is not replaced.
        return 0;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or pipe cannot be replaced; write to it in place.  A named
        // pipe that nobody reads fails at once instead of holding the window
        // until a reader comes.
        int fd = open(target, O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return 0;
        }
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
            close(fd);
            return 0;
        }
        size_t done = 0;
        while (done < count) {
            ssize_t n = write(fd, bytes + done, count - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
        return close(fd) == 0 && done == count;
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
        return 0;
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
    int ok = fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < count) {
        ssize_t n = write(fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = 0;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (ok && fsync(fd) != 0) {
        ok = 0;
    }
    if (close(fd) != 0) {
        ok = 0;
    }
    if (ok && rename(temporary, target) != 0) {
        ok = 0;
    }
    if (!ok) {
        unlink(temporary);
    }
    return ok;
}
