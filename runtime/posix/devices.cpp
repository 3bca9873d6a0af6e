// The slots' devices on POSIX: file descriptors.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/internal.h"

namespace {

int descriptor(rt_device device) { return static_cast<int>(device); }

}  // namespace

uint32_t rt_device_error(uint32_t fallback)
{
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
        return RT_ERROR_FILE_NOT_FOUND;
    case EMFILE:
    case ENFILE:
        return RT_ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return RT_ERROR_ACCESS_DENIED;
    case EBADF:
        return RT_ERROR_INVALID_HANDLE;
    case ENOMEM:
        return RT_ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return RT_ERROR_HANDLE_DISK_FULL;
    case EINVAL:
    case ENAMETOOLONG:
        return RT_ERROR_INVALID_PARAMETER;
    default:
        return fallback;
    }
}

rt_device rt_device_standard(int slot)
{
    return slot;
}

int rt_device_standard_text()
{
    // Lines end with LF here: the standard handles pass bytes through.
    return 0;
}

int rt_device_open(const char* path, unsigned flags, rt_device* device)
{
    int mode = (flags & RT_OPEN_READ) && (flags & RT_OPEN_WRITE) ? O_RDWR : (flags & RT_OPEN_WRITE) ? O_WRONLY : O_RDONLY;
    if (flags & RT_OPEN_CREATE) {
        mode |= O_CREAT;
    }
    if ((flags & RT_OPEN_TRUNCATE) && (flags & RT_OPEN_WRITE)) {
        mode |= O_TRUNC;
    }
    // Opened without waiting, so that a named pipe in place of a file never
    // holds the program up: reading one that has no writer finds its end at
    // once, and writing one that has no reader fails.  Reads and writes then
    // wait as usual.
    int fd;
    do {
        fd = ::open(path, mode | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        rt_set_last_error(rt_device_error(RT_ERROR_FILE_NOT_FOUND));
        return 0;
    }
    int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) {
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    }
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        rt_set_last_error(RT_ERROR_ACCESS_DENIED);
        return 0;
    }
    *device = fd;
    return 1;
}

int rt_device_read(rt_device device, char* buffer, uint32_t count)
{
    for (;;) {
        ssize_t got = ::read(descriptor(device), buffer, count);
        if (got >= 0) {
            return static_cast<int>(got);
        }
        if (errno != EINTR) {
            rt_set_last_error(rt_device_error(RT_ERROR_READ_FAULT));
            return -1;
        }
    }
}

uint32_t rt_device_write(rt_device device, const char* bytes, uint32_t count)
{
    uint32_t done = 0;
    while (done < count) {
        ssize_t put = ::write(descriptor(device), bytes + done, count - done);
        if (put > 0) {
            done += static_cast<uint32_t>(put);
        } else if (put < 0 && errno == EINTR) {
            continue;
        } else {
            rt_set_last_error(put < 0 ? rt_device_error(RT_ERROR_WRITE_FAULT) : RT_ERROR_HANDLE_DISK_FULL);
            break;
        }
    }
    return done;
}

int rt_device_close(rt_device device)
{
    if (::close(descriptor(device)) != 0 && errno != EINTR) {
        rt_set_last_error(rt_device_error(RT_ERROR_INVALID_HANDLE));
        return -1;
    }
    return 0;
}

int64_t rt_device_seek(rt_device device, int64_t offset, int whence)
{
    return ::lseek(descriptor(device), offset, whence);
}

int rt_device_read_at(rt_device device, void* buffer, uint32_t count, int64_t offset)
{
    ssize_t got;
    do {
        got = ::pread(descriptor(device), buffer, count, offset);
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<int>(got);
}

int rt_device_is_seekable(rt_device device)
{
    return ::lseek(descriptor(device), 0, SEEK_CUR) >= 0;
}

int rt_device_is_terminal(rt_device device)
{
    return ::isatty(descriptor(device));
}
