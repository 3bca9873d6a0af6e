// Handle slots: the runtime's lowest I/O layer.  256 slots; 0 to 2 hold the
// process's standard input, output and error.  Opened files get the first
// empty slot found by a search from a moving position.  The text flag turns
// LF into CR LF on writing and CR LF into LF on reading; the append flag moves
// to the end of the file before every write.  While the console is attached,
// reads on slot 0 and writes on slots 1 and 2 go to its hooks instead.
//
// The slots hold the system's own file handles; what is done with them
// (opening, reading, writing, moving, closing) is the device layer of the
// system the program is built for (posix/devices.cpp, windows/devices.cpp).
#include <climits>
#include <cstdio>
#include <cstring>

#include "runtime/internal.h"

namespace {

enum : uint8_t { slotUsed = 1, slotText = 2, slotAppend = 4, slotSeekable = 8, slotTerminal = 16 };

struct slot_record {
    rt_device device;
    uint8_t flags;
    int16_t carry;   // a byte read ahead on a device that cannot step back, plus one; 0 for none
};

// The plain binding: slots 0 to 2 are the process's own standard handles,
// looked up at start-up (before it, the descriptors 0 to 2 of a POSIX host),
// with the text flag where the system's lines end with CR LF.
slot_record slot_table[RT_SLOT_COUNT] = {
    {0, slotUsed, 0},
    {1, slotUsed, 0},
    {2, slotUsed, 0},
};

int next_search = 3;   // where the next search for an empty slot begins

rt_write_hook console_write = nullptr;
rt_read_hook console_read = nullptr;

// Room for the translation of one write: a request of up to half of this goes
// to the console in a single hook call (stdout's 256-byte runs always do).
constexpr uint32_t translation_size = 4096;
constexpr uint32_t read_hook_capacity = 256;
constexpr uint32_t largest_request = INT_MAX;

bool slot_valid(int slot)
{
    return slot >= 0 && slot < RT_SLOT_COUNT && (slot_table[slot].flags & slotUsed) != 0;
}

// Drops every CR immediately followed by LF; returns the new length.
uint32_t drop_cr_before_lf(char* bytes, uint32_t count)
{
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes[i] == '\r' && i + 1 < count && bytes[i + 1] == '\n') {
            continue;
        }
        bytes[kept++] = bytes[i];
    }
    return kept;
}

// Copies source bytes from `from` into the translation buffer, a CR in front
// of every LF, until the source ends or the buffer is full.  Returns the
// translated length; `from` is left at the first byte not taken.
uint32_t translate_chunk(const char* bytes, uint32_t count, uint32_t* from, char* out)
{
    uint32_t used = 0;
    uint32_t i = *from;
    while (i < count && used + 2 <= translation_size) {
        if (bytes[i] == '\n') {
            out[used++] = '\r';
        }
        out[used++] = bytes[i++];
    }
    *from = i;
    return used;
}

int console_slot_read(char* buffer, uint32_t count)
{
    uint32_t capacity = count < read_hook_capacity ? count : read_hook_capacity;
    uint32_t got = 0;
    if (!console_read(buffer, capacity, &got)) {
        rt_set_last_error(RT_ERROR_READ_FAULT);
        return 0;
    }
    if (got > capacity) {
        got = capacity;
    }
    bool full = got == capacity;
    got = drop_cr_before_lf(buffer, got);
    // A CR ending a full read: its LF comes first in the next read.
    if (full && capacity >= 2 && got > 0 && buffer[got - 1] == '\r') {
        --got;
    }
    return static_cast<int>(got);
}

int console_slot_write(const char* bytes, uint32_t count)
{
    char out[translation_size];
    uint32_t from = 0;
    int64_t reported = 0;
    while (from < count) {
        uint32_t used = translate_chunk(bytes, count, &from, out);
        console_write(out, used);
        reported += used;
    }
    return reported > largest_request ? INT_MAX : static_cast<int>(reported);
}

int text_slot_read(slot_record& slot, char* buffer, uint32_t count)
{
    uint32_t have = 0;
    if (slot.carry != 0) {
        buffer[have++] = static_cast<char>(slot.carry - 1);
        slot.carry = 0;
    }
    if (have < count) {
        int got = rt_device_read(slot.device, buffer + have, count - have);
        if (got < 0 && have == 0) {
            return -1;
        }
        have += got > 0 ? static_cast<uint32_t>(got) : 0;
    }
    bool full = have == count;
    have = drop_cr_before_lf(buffer, have);
    if (!full || have == 0 || buffer[have - 1] != '\r') {
        return static_cast<int>(have);
    }
    if (count >= 2) {
        // A full read ending in CR: drop the CR and step back over it, so
        // that a CR LF split across two reads yields one LF.
        --have;
        if (!(slot.flags & slotSeekable) || rt_device_seek(slot.device, -1, SEEK_CUR) < 0) {
            slot.carry = '\r' + 1;
        }
        return static_cast<int>(have);
    }
    // A one-byte read of CR: look at the byte after it.
    char next = 0;
    if (rt_device_read(slot.device, &next, 1) == 1) {
        if (next == '\n') {
            buffer[0] = '\n';
        } else if (!(slot.flags & slotSeekable) || rt_device_seek(slot.device, -1, SEEK_CUR) < 0) {
            slot.carry = static_cast<int16_t>(static_cast<unsigned char>(next) + 1);
        }
    }
    return 1;
}

int text_slot_write(const slot_record& slot, const char* bytes, uint32_t count)
{
    char out[translation_size];
    uint32_t from = 0;
    while (from < count) {
        uint32_t start = from;
        uint32_t used = translate_chunk(bytes, count, &from, out);
        uint32_t put = rt_device_write(slot.device, out, used);
        if (put < used) {
            // Count the source bytes whose translation went out whole.
            uint32_t taken = 0;
            uint32_t done = start;
            while (done < from) {
                uint32_t need = bytes[done] == '\n' ? 2 : 1;
                if (taken + need > put) {
                    break;
                }
                taken += need;
                ++done;
            }
            return done > 0 ? static_cast<int>(done) : -1;
        }
    }
    return static_cast<int>(count);
}

int fill_slot(rt_device device, uint8_t flags)
{
    int slot = -1;
    int candidate = next_search;
    for (int probe = 0; probe < RT_SLOT_COUNT; ++probe) {
        if (!(slot_table[candidate].flags & slotUsed)) {
            slot = candidate;
            break;
        }
        candidate = candidate == RT_SLOT_COUNT - 1 ? 3 : candidate + 1;
    }
    if (slot < 0) {
        return -1;
    }
    next_search = slot == RT_SLOT_COUNT - 1 ? 3 : slot + 1;
    slot_table[slot].device = device;
    slot_table[slot].flags = flags;
    slot_table[slot].carry = 0;
    return slot;
}

}  // namespace

void rt_slots_startup()
{
    for (int slot = 0; slot < 3; ++slot) {
        slot_record& record = slot_table[slot];
        if (!(record.flags & slotUsed)) {
            continue;
        }
        record.device = rt_device_standard(slot);
        record.flags &= static_cast<uint8_t>(~(slotSeekable | slotTerminal | slotText));
        if (rt_device_standard_text()) {
            record.flags |= slotText;
        }
        if (rt_device_is_seekable(record.device)) {
            record.flags |= slotSeekable;
        }
        if (rt_device_is_terminal(record.device)) {
            record.flags |= slotTerminal;
        }
    }
}

int rt_slot_open(const char* path, unsigned flags)
{
    if (path == nullptr || !(flags & (RT_OPEN_READ | RT_OPEN_WRITE))) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return -1;
    }
    uint8_t slot_flags = slotUsed;
    if (flags & RT_OPEN_TEXT) {
        slot_flags |= slotText;
    }
    if (flags & RT_OPEN_APPEND) {
        slot_flags |= slotAppend;
    }

    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    bool room = false;
    for (int slot = 3; slot < RT_SLOT_COUNT && !room; ++slot) {
        room = !(slot_table[slot].flags & slotUsed);
    }
    if (!room) {
        rt_set_last_error(RT_ERROR_TOO_MANY_OPEN_FILES);
        return -1;
    }
    rt_device device;
    if (!rt_device_open(path, flags, &device)) {
        return -1;
    }
    if (rt_device_is_seekable(device)) {
        slot_flags |= slotSeekable;
    }
    if (rt_device_is_terminal(device)) {
        slot_flags |= slotTerminal;
    }
    int slot = fill_slot(device, slot_flags);
    if (slot < 0) {
        rt_device_close(device);
        rt_set_last_error(RT_ERROR_TOO_MANY_OPEN_FILES);
    }
    return slot;
}

// Checks a read or write request on a slot: -1 (error recorded) for a bad
// slot or buffer, 0 for an empty request, 1 to go on with count capped at the
// largest single request.
static int check_request(int slot, const void* buffer, uint32_t* count)
{
    if (!slot_valid(slot)) {
        rt_set_last_error(RT_ERROR_INVALID_HANDLE);
        return -1;
    }
    if (buffer == nullptr && *count != 0) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (*count == 0) {
        return 0;
    }
    if (*count > largest_request) {
        *count = largest_request;
    }
    return 1;
}

int rt_slot_read(int slot, void* buffer, uint32_t count)
{
    int checked = check_request(slot, buffer, &count);
    if (checked <= 0) {
        return checked;
    }
    char* bytes = static_cast<char*>(buffer);
    if (slot == 0 && console_read != nullptr) {
        return console_slot_read(bytes, count);
    }
    slot_record& record = slot_table[slot];
    if (record.flags & slotText) {
        return text_slot_read(record, bytes, count);
    }
    return rt_device_read(record.device, bytes, count);
}

int rt_slot_write(int slot, const void* buffer, uint32_t count)
{
    int checked = check_request(slot, buffer, &count);
    if (checked <= 0) {
        return checked;
    }
    const char* bytes = static_cast<const char*>(buffer);
    if ((slot == 1 || slot == 2) && console_write != nullptr) {
        return console_slot_write(bytes, count);
    }
    const slot_record& record = slot_table[slot];
    if ((record.flags & slotAppend) && (record.flags & slotSeekable) && rt_device_seek(record.device, 0, SEEK_END) < 0) {
        rt_set_last_error(rt_device_error(RT_ERROR_WRITE_FAULT));
        return -1;
    }
    if (record.flags & slotText) {
        return text_slot_write(record, bytes, count);
    }
    uint32_t put = rt_device_write(record.device, bytes, count);
    return put > 0 ? static_cast<int>(put) : -1;
}

int rt_slot_close(int slot)
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    if (!slot_valid(slot)) {
        rt_set_last_error(RT_ERROR_INVALID_HANDLE);
        return -1;
    }
    rt_device device = slot_table[slot].device;
    slot_table[slot].flags = 0;
    slot_table[slot].carry = 0;
    slot_table[slot].device = -1;
    return rt_device_close(device);
}

int rt_slot_seek(int slot, int64_t offset, int whence)
{
    if (!slot_valid(slot)) {
        rt_set_last_error(RT_ERROR_INVALID_HANDLE);
        return -1;
    }
    slot_record& record = slot_table[slot];
    if (!(record.flags & slotSeekable) || ((slot == 0 || slot == 1 || slot == 2) && rt_console_attached())) {
        return -1;
    }
    // A byte held back from the device is part of what has not been read yet.
    if (whence == SEEK_CUR && record.carry != 0) {
        offset -= 1;
    }
    record.carry = 0;
    if (rt_device_seek(record.device, offset, whence) < 0) {
        rt_set_last_error(rt_device_error(RT_ERROR_INVALID_PARAMETER));
        return -1;
    }
    return 0;
}

int64_t rt_slot_tell(int slot)
{
    if (!slot_valid(slot) || !(slot_table[slot].flags & slotSeekable)) {
        return -1;
    }
    return rt_device_seek(slot_table[slot].device, 0, SEEK_CUR);
}

int rt_slot_read_at(int slot, void* buffer, uint32_t count, int64_t offset)
{
    if (!slot_valid(slot) || !(slot_table[slot].flags & slotSeekable)) {
        return -1;
    }
    return rt_device_read_at(slot_table[slot].device, buffer, count, offset);
}

int rt_slot_is_terminal(int slot)
{
    return slot_valid(slot) && (slot_table[slot].flags & slotTerminal) != 0;
}

int rt_slot_is_seekable(int slot)
{
    return slot_valid(slot) && (slot_table[slot].flags & slotSeekable) != 0;
}

int rt_slot_is_text(int slot)
{
    return slot_valid(slot) && (slot_table[slot].flags & slotText) != 0;
}

int rt_console_attached()
{
    return console_write != nullptr || console_read != nullptr;
}

void rt_attach_console(rt_write_hook write_hook, rt_read_hook read_hook)
{
    // Whatever the plain binding still holds goes to the process's own handles first.
    rt_fflush(rt_stdout);
    rt_fflush(rt_stderr);
    console_write = write_hook;
    console_read = read_hook;
    rt_streams_binding_changed();
}

void rt_detach_console()
{
    rt_fflush(rt_stdout);
    rt_fflush(rt_stderr);
    console_write = nullptr;
    console_read = nullptr;
    rt_streams_binding_changed();
}
