// The per-thread record reached through one thread-local slot, the last-error
// code kept in it, and the runtime's own message box.
#include <cstdlib>
#include <cstring>

#include "runtime/internal.h"

namespace {

bool key_ready = false;
void* (*record_allocator)(size_t) = nullptr;
rt_message_box_fn message_box = nullptr;

// While a thread reports that its record cannot be made, exit's own work may
// record error codes; they land here instead of reporting again.
runtimeThreadData spare_record;
thread_local bool reporting_failure = false;

bool make_key()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    if (!key_ready) {
        key_ready = rt_tls_create() != 0;
    }
    return key_ready;
}

runtimeThreadData* new_record()
{
    void* memory = record_allocator != nullptr ? record_allocator(sizeof(runtimeThreadData)) : std::malloc(sizeof(runtimeThreadData));
    if (memory != nullptr) {
        std::memset(memory, 0, sizeof(runtimeThreadData));
    }
    return static_cast<runtimeThreadData*>(memory);
}

// Registered with atexit: frees the calling thread's record and the slot.  A
// later use (the console keeps running after exit's functions) makes a new one.
void release_slot()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_EXIT));
    if (!key_ready) {
        return;
    }
    std::free(rt_tls_get());
    rt_tls_set(nullptr);
    rt_tls_delete();
    key_ready = false;
}

void write_all(const char* text)
{
    rt_write_standard_error(text, std::strlen(text));
}

int default_message_box(const char* text, const char* caption, unsigned)
{
    write_all(caption != nullptr ? caption : "");
    write_all(": ");
    write_all(text != nullptr ? text : "");
    write_all("\n");
    return 1;   // OK
}

}  // namespace

int rt_thread_data_startup()
{
    if (!make_key()) {
        return 0;
    }
    runtimeThreadData* record = static_cast<runtimeThreadData*>(rt_tls_get());
    if (record == nullptr) {
        record = new_record();
        if (record == nullptr || !rt_tls_set(record)) {
            std::free(record);
            return 0;
        }
    }
    rt_atexit(release_slot);
    return 1;
}

runtimeThreadData* getThreadData()
{
    runtimeThreadData* record = nullptr;
    if (make_key()) {
        record = static_cast<runtimeThreadData*>(rt_tls_get());
        if (record == nullptr) {
            runtimeThreadData* made = new_record();
            if (made != nullptr && !rt_tls_set(made)) {
                std::free(made);
            }
            record = static_cast<runtimeThreadData*>(rt_tls_get());
        }
    }
    if (record == nullptr) {
        if (reporting_failure) {
            return &spare_record;
        }
        reporting_failure = true;
        rt_message_box("Could not get thread local data", "ZR Win32 Runtime", 0);
        rt_exit(0);
    }
    return record;
}

void rt_set_last_error(uint32_t code)
{
    getThreadData()->lastError = code;
}

uint32_t rt_last_error()
{
    return getThreadData()->lastError;
}

void rt_set_thread_data_allocator(void* (*allocate)(size_t))
{
    record_allocator = allocate;
}

void rt_set_message_box(rt_message_box_fn box)
{
    message_box = box;
}

int rt_message_box(const char* text, const char* caption, unsigned flags)
{
    rt_message_box_fn box = message_box != nullptr ? message_box : default_message_box;
    return box(text, caption, flags);
}
