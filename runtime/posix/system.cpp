// The process on POSIX: the thread-local slot, the standard error handle and
// the end of the process.
#include <cstdlib>
#include <pthread.h>
#include <unistd.h>

#include "runtime/internal.h"

namespace {

pthread_key_t record_key;

void free_value(void* value)
{
    std::free(value);
}

}  // namespace

int rt_tls_create()
{
    return pthread_key_create(&record_key, free_value) == 0;
}

void* rt_tls_get()
{
    return pthread_getspecific(record_key);
}

int rt_tls_set(void* value)
{
    return pthread_setspecific(record_key, value) == 0;
}

void rt_tls_delete()
{
    pthread_key_delete(record_key);
}

void rt_write_standard_error(const char* text, size_t length)
{
    while (length > 0) {
        ssize_t put = ::write(2, text, length);
        if (put <= 0) {
            return;
        }
        text += put;
        length -= static_cast<size_t>(put);
    }
}

void rt_end_process(int status)
{
    ::_exit(status);
}
