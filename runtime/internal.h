// Declarations shared by the runtime's own modules (not part of the interface
// the rest of the program codes against).  Tests include it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "runtime/runtime.h"

// The five locks, created once for the life of the process: 0 the exit and
// atexit table, 1 the heap, 2 the list of open streams, 3 spare, 4 the signal
// table.  They are recursive, as the platform's critical sections are.
enum { RT_LOCK_EXIT = 0, RT_LOCK_HEAP = 1, RT_LOCK_STREAMS = 2, RT_LOCK_SPARE = 3, RT_LOCK_SIGNALS = 4, RT_LOCK_COUNT = 5 };
std::recursive_mutex& rt_lock(int which);

// ---------------------------------------------------------------------------
// What differs between systems: one set of files per system (posix/ or
// windows/), chosen by the build.

// Devices (devices.cpp): the system's file handle held by a slot, as an
// integer (a descriptor, or a HANDLE).  Reads and writes record the error
// code themselves when they fail; the others leave that to the caller, who
// asks rt_device_error for it.
typedef intptr_t rt_device;
rt_device rt_device_standard(int slot);   // the process's own handle for slot 0, 1 or 2
int rt_device_standard_text();             // 1 where the system's lines end with CR LF
// Opens path with the RT_OPEN_ flags (the text and append flags are the
// slot's business).  A folder is refused.  1 and the device, or 0 with the
// error code recorded.
int rt_device_open(const char* path, unsigned flags, rt_device* device);
// One read; bytes read, 0 at the end, -1 on failure (recorded).
int rt_device_read(rt_device device, char* buffer, uint32_t count);
// Writes all bytes unless the device fails; returns how many went out and
// records the error when that is fewer than asked.
uint32_t rt_device_write(rt_device device, const char* bytes, uint32_t count);
int rt_device_close(rt_device device);                                   // 0, or -1 (recorded)
int64_t rt_device_seek(rt_device device, int64_t offset, int whence);    // new position, or -1
// Reads at a position without moving the device's own position; bytes, or -1.
int rt_device_read_at(rt_device device, void* buffer, uint32_t count, int64_t offset);
int rt_device_is_seekable(rt_device device);
int rt_device_is_terminal(rt_device device);
// The system's code for the last failure, in the runtime's numbering, or
// fallback when it has none.
uint32_t rt_device_error(uint32_t fallback);

// The rest of the process (system.cpp).  One thread-local slot holding a
// pointer, whose value is released with std::free when its thread ends.
int rt_tls_create();            // 1, or 0 when the system has no slot to give
void* rt_tls_get();
int rt_tls_set(void* value);    // 1, or 0
void rt_tls_delete();
// Writes text straight to the process's own standard error.
void rt_write_standard_error(const char* text, size_t length);
// Ends the process at once with the status: nothing more runs.
[[noreturn]] void rt_end_process(int status);

// The text of the fault box: "Unhandled exception: CODE" and "At address:"
// with the faulting instruction's address, in lower-case hexadecimal of at
// least eight digits.  Safe in a signal handler (no allocation, no locale).
enum { RT_FAULT_TEXT_SIZE = 96 };
void rt_fault_text(char (&text)[RT_FAULT_TEXT_SIZE], uint32_t code, uint64_t address);

// Start-up steps that differ between systems, run first by rt_startup.
void rt_system_startup();

// In sanitizer builds, looks for leaked memory now: a leak is reported on
// standard error and ends the process with the checker's failure status.
// Does nothing in other builds.  Exit calls it before it closes the streams.
void rt_check_leaks();

// Slots (slots.cpp).
void rt_slots_startup();
int rt_slot_seek(int slot, int64_t offset, int whence);   // 0, or -1
int64_t rt_slot_tell(int slot);                           // the device position, or -1
// Reads raw bytes at a device position without moving it and without
// translation; bytes read, or -1.
int rt_slot_read_at(int slot, void* buffer, uint32_t count, int64_t offset);
int rt_slot_is_terminal(int slot);
int rt_slot_is_seekable(int slot);
int rt_slot_is_text(int slot);   // the slot translates line ends
int rt_console_attached();

// Streams (streams.cpp).
void rt_streams_binding_changed();   // re-decides stdout's buffering after an attach or detach
void rt_streams_close_at_exit();      // flushes and closes every open stream
uint32_t rt_stream_buffer_size(rt_file* stream);
int rt_stream_is_line_buffered(rt_file* stream);

// Stream objects (stream_objects.cpp).
void rt_stream_objects_startup();

// Per-thread record (thread_data.cpp).
int rt_thread_data_startup();   // 1, or 0 when the slot or the first record cannot be made
// Replaces the allocator of per-thread records (null: the default), so that a
// failing allocation can be exercised.
void rt_set_thread_data_allocator(void* (*allocate)(size_t));

// Command line (command_line.cpp).  Releases what every split so far
// allocated, as exit does; the vectors it handed out are gone then.
void rt_release_command_lines();

// Exit table (process.cpp).
int rt_atexit_count();
