// Buffered file streams over the handle slots, and the list of open streams.
// stdin, stdout and stderr are its first three entries.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/internal.h"

enum : unsigned {
    streamOpen = 1u,
    streamRead = 2u,       // opened for reading
    streamWrite = 4u,      // opened for writing
    streamLine = 8u,       // line buffered
    streamUnbuffered = 16u,
    streamEof = 32u,
    streamError = 64u,
    streamReading = 128u,  // the buffer holds input
    streamWriting = 256u,  // the buffer holds output
    streamText = 512u,
};

struct rt_file {
    int slot;
    unsigned flags;
    char* buffer;
    uint32_t size;   // buffer size in use
    uint32_t pos;    // reading: next byte to hand out; writing: bytes held
    uint32_t end;    // reading: bytes in the buffer
    int64_t raw_start;   // text mode on a seekable file: the device position the buffer was read from
};

namespace {

constexpr int stream_count = RT_SLOT_COUNT;
constexpr uint32_t standard_buffer = 256;
constexpr uint32_t file_buffer = 65536;
constexpr uint32_t stdout_full_buffer = 4096;

char stdin_buffer[standard_buffer];
char stdout_buffer[stdout_full_buffer];
char stderr_buffer[standard_buffer];
char file_buffers[stream_count][file_buffer];

rt_file stream_table[stream_count] = {
    {0, streamOpen | streamRead | streamLine | streamText, stdin_buffer, standard_buffer, 0, 0, -1},
    {1, streamOpen | streamWrite | streamLine | streamText, stdout_buffer, standard_buffer, 0, 0, -1},
    {2, streamOpen | streamWrite | streamUnbuffered | streamText, stderr_buffer, standard_buffer, 0, 0, -1},
};

constexpr uint32_t largest_device_request = 1u << 30;

bool stream_valid(const rt_file* stream)
{
    uintptr_t address = reinterpret_cast<uintptr_t>(stream);
    uintptr_t first = reinterpret_cast<uintptr_t>(&stream_table[0]);
    uintptr_t last = reinterpret_cast<uintptr_t>(&stream_table[stream_count - 1]);
    if (stream == nullptr || address < first || address > last || (address - first) % sizeof(rt_file) != 0) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!(stream->flags & streamOpen)) {
        rt_set_last_error(RT_ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

// Sends the buffered output to the device.  Returns how many of the held bytes
// went out; fewer than held puts the stream into its error state.  The buffer
// counts as empty before the device is called, so that nothing is sent twice
// if the device call never returns.
uint32_t send_buffer(rt_file* stream)
{
    uint32_t held = stream->pos;
    stream->pos = 0;
    if (held == 0) {
        return 0;
    }
    int put = rt_slot_write(stream->slot, stream->buffer, held);
    if (put < static_cast<int>(held)) {
        stream->flags |= streamError;
        return put > 0 ? static_cast<uint32_t>(put) : 0;
    }
    return held;
}

// Writes straight to the device; returns how many bytes went out.
size_t send_direct(rt_file* stream, const char* bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        uint32_t part = count - done < largest_device_request ? static_cast<uint32_t>(count - done) : largest_device_request;
        int put = rt_slot_write(stream->slot, bytes + done, part);
        if (put < static_cast<int>(part)) {
            stream->flags |= streamError;
            return done + (put > 0 ? static_cast<uint32_t>(put) : 0);
        }
        done += part;
    }
    return done;
}

// The device position just after the first `consumed` bytes of a text-mode
// buffer: the raw bytes are read again and every CR LF counted as one.
int64_t text_position(rt_file* stream, uint32_t consumed)
{
    static char raw[file_buffer + 1];
    uint32_t want = stream->size < file_buffer ? stream->size : file_buffer;
    int got = rt_slot_read_at(stream->slot, raw, want + 1, stream->raw_start);
    if (got < 0) {
        return -1;
    }
    uint32_t length = static_cast<uint32_t>(got);
    uint32_t r = 0;
    for (uint32_t t = 0; t < consumed && r < length; ++t) {
        r += raw[r] == '\r' && r + 1 < length && raw[r + 1] == '\n' ? 2 : 1;
    }
    return stream->raw_start + r;
}

// Input read ahead from a seekable file is given back to the device, so that
// its position matches what the program has consumed.
void drop_input(rt_file* stream)
{
    uint32_t unread = stream->end - stream->pos;
    if (unread != 0 && rt_slot_is_seekable(stream->slot)) {
        // The standard streams are text streams, but on the plain binding
        // their slots pass bytes through unchanged.
        if (!rt_slot_is_text(stream->slot)) {
            rt_slot_seek(stream->slot, -static_cast<int64_t>(unread), SEEK_CUR);
        } else if (stream->raw_start >= 0) {
            int64_t position = text_position(stream, stream->pos);
            if (position >= 0) {
                rt_slot_seek(stream->slot, position, SEEK_SET);
            }
        }
    }
    stream->pos = 0;
    stream->end = 0;
    stream->flags &= ~streamReading;
}

bool flush_stream(rt_file* stream)
{
    if (stream->flags & streamWriting) {
        uint32_t held = stream->pos;
        return send_buffer(stream) == held;
    }
    if (stream->flags & streamReading) {
        drop_input(stream);
    }
    return true;
}

bool prepare_write(rt_file* stream)
{
    if (!stream_valid(stream)) {
        return false;
    }
    if (!(stream->flags & streamWrite)) {
        stream->flags |= streamError;
        rt_set_last_error(RT_ERROR_ACCESS_DENIED);
        return false;
    }
    if (stream->flags & streamReading) {
        drop_input(stream);
    }
    if (!(stream->flags & streamWriting)) {
        stream->flags |= streamWriting;
        stream->pos = 0;
    }
    return true;
}

bool prepare_read(rt_file* stream)
{
    if (!stream_valid(stream)) {
        return false;
    }
    if (!(stream->flags & streamRead)) {
        stream->flags |= streamError;
        rt_set_last_error(RT_ERROR_ACCESS_DENIED);
        return false;
    }
    if (stream->flags & streamWriting) {
        uint32_t held = stream->pos;
        if (send_buffer(stream) != held) {
            return false;
        }
        stream->flags &= ~streamWriting;
    }
    if (!(stream->flags & streamReading)) {
        stream->flags |= streamReading;
        stream->pos = 0;
        stream->end = 0;
    }
    return true;
}

// Any stream about to read its device first shows what stdout holds.
void flush_stdout_before_read(rt_file* stream)
{
    rt_file* out = rt_stdout;
    if (stream != out && (out->flags & streamOpen) && (out->flags & streamWriting) && out->pos != 0) {
        send_buffer(out);
    }
}

// One device read into the stream's buffer.  False at end of file or failure.
bool refill(rt_file* stream)
{
    flush_stdout_before_read(stream);
    stream->pos = 0;
    stream->end = 0;
    stream->raw_start = (stream->flags & streamText) ? rt_slot_tell(stream->slot) : -1;
    int got = rt_slot_read(stream->slot, stream->buffer, stream->size);
    if (got <= 0) {
        stream->flags |= streamEof;
        if (got < 0) {
            stream->flags |= streamError;
        }
        return false;
    }
    stream->end = static_cast<uint32_t>(got);
    return true;
}

// Request bytes that reached the device when a flush wrote `put` of a buffer
// whose last `mine` bytes came from the request.
size_t request_bytes_out(uint32_t held, uint32_t mine, uint32_t put)
{
    uint32_t before = held - mine;
    return put > before ? put - before : 0;
}

// The heart of every write.  Returns how many of the bytes reached the device
// or wait in the buffer; fewer than asked when the device failed.
size_t write_bytes(rt_file* stream, const char* bytes, size_t count)
{
    if (!prepare_write(stream)) {
        return 0;
    }
    if (count == 0) {
        return 0;
    }
    if (stream->flags & streamUnbuffered) {
        // Every write request goes to the device at once, in one piece.
        return send_direct(stream, bytes, count);
    }
    const bool line = (stream->flags & streamLine) != 0;
    // The common case: a short run that fits and sends nothing.
    if (count <= stream->size - stream->pos && !(line && std::memchr(bytes, '\n', count) != nullptr)) {
        std::memcpy(stream->buffer + stream->pos, bytes, count);
        stream->pos += static_cast<uint32_t>(count);
        return count;
    }
    size_t done = 0;    // request bytes handed on
    uint32_t mine = 0;  // request bytes among those held in the buffer
    while (done < count) {
        if (stream->pos == stream->size) {
            // A byte is to be stored into a full buffer: the full buffer goes first.
            uint32_t held = stream->pos;
            uint32_t put = send_buffer(stream);
            if (put < held) {
                return done - mine + request_bytes_out(held, mine, put);
            }
            mine = 0;
        }
        size_t left = count - done;
        if (!line && stream->pos == 0 && left >= stream->size) {
            size_t whole = left - left % stream->size;
            size_t put = send_direct(stream, bytes + done, whole);
            done += put;
            if (put < whole) {
                return done;
            }
            continue;
        }
        size_t take = stream->size - stream->pos;
        if (take > left) {
            take = left;
        }
        bool line_end = false;
        if (line) {
            const void* lf = std::memchr(bytes + done, '\n', take);
            if (lf != nullptr) {
                take = static_cast<size_t>(static_cast<const char*>(lf) - (bytes + done)) + 1;
                line_end = true;
            }
        }
        std::memcpy(stream->buffer + stream->pos, bytes + done, take);
        stream->pos += static_cast<uint32_t>(take);
        mine += static_cast<uint32_t>(take);
        done += take;
        if (line_end) {
            // A line end sends the buffer, up to and including it, at once.
            uint32_t held = stream->pos;
            uint32_t put = send_buffer(stream);
            if (put < held) {
                return done - mine + request_bytes_out(held, mine, put);
            }
            mine = 0;
        }
    }
    return done;
}

int formatted_write(rt_file* stream, const char* format, va_list arguments)
{
    if (format == nullptr) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return -1;
    }
    char local[1024];
    va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(local, sizeof local, format, arguments);
    if (length < 0) {
        va_end(again);
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return -1;
    }
    const char* text = local;
    char* large = nullptr;
    if (static_cast<size_t>(length) >= sizeof local) {
        large = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
        if (large == nullptr) {
            va_end(again);
            rt_set_last_error(RT_ERROR_NOT_ENOUGH_MEMORY);
            return -1;
        }
        std::vsnprintf(large, static_cast<size_t>(length) + 1, format, again);
        text = large;
    }
    va_end(again);
    size_t put = write_bytes(stream, text, static_cast<size_t>(length));
    std::free(large);
    return put == static_cast<size_t>(length) ? length : -1;
}

int close_stream(rt_file* stream)
{
    int result = 0;
    if ((stream->flags & streamWriting) && !flush_stream(stream)) {
        result = RT_EOF;
    }
    // Output lost to an earlier device failure makes the close fail too.
    if ((stream->flags & streamWrite) && (stream->flags & streamError)) {
        result = RT_EOF;
    }
    int slot = stream->slot;
    stream->flags = 0;
    stream->pos = 0;
    stream->end = 0;
    if (rt_slot_close(slot) != 0) {
        result = RT_EOF;
    }
    return result;
}

}  // namespace

rt_file* const rt_stdin = &stream_table[0];
rt_file* const rt_stdout = &stream_table[1];
rt_file* const rt_stderr = &stream_table[2];

void rt_streams_binding_changed()
{
    // On the console and on a terminal stdout is line buffered in 256 bytes;
    // redirected to a file or a pipe it is fully buffered, as a C library does.
    rt_file* out = rt_stdout;
    if (!(out->flags & streamOpen)) {
        return;
    }
    flush_stream(out);
    if (rt_console_attached() || rt_slot_is_terminal(out->slot)) {
        out->flags |= streamLine;
        out->size = standard_buffer;
    } else {
        out->flags &= ~streamLine;
        out->size = stdout_full_buffer;
    }
}

rt_file* rt_fopen(const char* path, const char* mode)
{
    if (path == nullptr || mode == nullptr) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    unsigned open_flags;
    unsigned stream_flags;
    switch (mode[0]) {
    case 'r':
        open_flags = RT_OPEN_READ;
        stream_flags = streamRead;
        break;
    case 'w':
        open_flags = RT_OPEN_WRITE | RT_OPEN_CREATE | RT_OPEN_TRUNCATE;
        stream_flags = streamWrite;
        break;
    case 'a':
        open_flags = RT_OPEN_WRITE | RT_OPEN_CREATE | RT_OPEN_APPEND;
        stream_flags = streamWrite;
        break;
    default:
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool plus = false, binary = false, text = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        bool* seen = *c == '+' ? &plus : *c == 'b' ? &binary : *c == 't' ? &text : nullptr;
        if (seen == nullptr || *seen) {
            rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        *seen = true;
    }
    if (binary && text) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (plus) {
        open_flags |= RT_OPEN_READ | RT_OPEN_WRITE;
        stream_flags |= streamRead | streamWrite;
    }
    if (!binary) {
        open_flags |= RT_OPEN_TEXT;
        stream_flags |= streamText;
    }

    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    int index = 3;
    while (index < stream_count && (stream_table[index].flags & streamOpen)) {
        ++index;
    }
    if (index == stream_count) {
        rt_set_last_error(RT_ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    int slot = rt_slot_open(path, open_flags);
    if (slot < 0) {
        return nullptr;
    }
    rt_file* stream = &stream_table[index];
    stream->slot = slot;
    stream->flags = streamOpen | stream_flags;
    stream->buffer = file_buffers[index];
    stream->size = file_buffer;
    stream->pos = 0;
    stream->end = 0;
    stream->raw_start = -1;
    return stream;
}

int rt_fclose(rt_file* stream)
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    if (!stream_valid(stream)) {
        return RT_EOF;
    }
    return close_stream(stream);
}

size_t rt_fwrite(const void* buffer, size_t size, size_t count, rt_file* stream)
{
    if (size == 0 || count == 0) {
        return 0;
    }
    if (buffer == nullptr || count > SIZE_MAX / size) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return 0;
    }
    return write_bytes(stream, static_cast<const char*>(buffer), size * count) / size;
}

size_t rt_fread(void* buffer, size_t size, size_t count, rt_file* stream)
{
    if (size == 0 || count == 0) {
        return 0;
    }
    if (buffer == nullptr || count > SIZE_MAX / size) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!prepare_read(stream)) {
        return 0;
    }
    if (stream->flags & streamLine) {
        // A block read from a line-buffered input stream first sends every
        // line-buffered output stream's unwritten text.
        for (rt_file& other : stream_table) {
            if ((other.flags & streamOpen) && (other.flags & streamLine) && (other.flags & streamWriting) && other.pos != 0) {
                send_buffer(&other);
            }
        }
    }
    char* out = static_cast<char*>(buffer);
    size_t total = size * count;
    size_t done = 0;
    while (done < total) {
        uint32_t available = stream->end - stream->pos;
        if (available != 0) {
            size_t take = total - done < available ? total - done : available;
            std::memcpy(out + done, stream->buffer + stream->pos, take);
            stream->pos += static_cast<uint32_t>(take);
            done += take;
            continue;
        }
        if (stream->flags & streamEof) {
            break;
        }
        size_t left = total - done;
        if (left >= stream->size) {
            // Whole buffers' worth go straight into the caller's memory.
            flush_stdout_before_read(stream);
            size_t whole = left - left % stream->size;
            uint32_t part = whole < largest_device_request ? static_cast<uint32_t>(whole) : largest_device_request;
            int got = rt_slot_read(stream->slot, out + done, part);
            if (got <= 0) {
                stream->flags |= streamEof;
                if (got < 0) {
                    stream->flags |= streamError;
                }
                break;
            }
            done += static_cast<uint32_t>(got);
            continue;
        }
        if (!refill(stream)) {
            break;
        }
    }
    return done / size;
}

int rt_fgetc(rt_file* stream)
{
    if (!prepare_read(stream)) {
        return RT_EOF;
    }
    if (stream->pos == stream->end) {
        if ((stream->flags & streamEof) || !refill(stream)) {
            return RT_EOF;
        }
    }
    return static_cast<unsigned char>(stream->buffer[stream->pos++]);
}

int rt_ungetc(int c, rt_file* stream)
{
    if (c == RT_EOF || !prepare_read(stream)) {
        return RT_EOF;
    }
    if (stream->pos > 0) {
        --stream->pos;
    } else if (stream->end < stream->size) {
        std::memmove(stream->buffer + 1, stream->buffer, stream->end);
        ++stream->end;
    } else {
        return RT_EOF;
    }
    stream->buffer[stream->pos] = static_cast<char>(c);
    stream->flags &= ~streamEof;
    return static_cast<unsigned char>(c);
}

int rt_fputc(int c, rt_file* stream)
{
    char byte = static_cast<char>(c);
    // The common case: room in a buffer that takes the byte without sending.
    if (stream_valid(stream) && (stream->flags & streamWriting) && !(stream->flags & streamUnbuffered) &&
        stream->pos < stream->size && !(byte == '\n' && (stream->flags & streamLine))) {
        stream->buffer[stream->pos++] = byte;
        return static_cast<unsigned char>(byte);
    }
    if (write_bytes(stream, &byte, 1) != 1) {
        return RT_EOF;
    }
    return static_cast<unsigned char>(byte);
}

int rt_fputs(const char* text, rt_file* stream)
{
    if (text == nullptr) {
        rt_set_last_error(RT_ERROR_INVALID_PARAMETER);
        return RT_EOF;
    }
    size_t length = std::strlen(text);
    return write_bytes(stream, text, length) == length ? 0 : RT_EOF;
}

int rt_fflush(rt_file* stream)
{
    if (stream == nullptr) {
        int result = 0;
        for (rt_file& each : stream_table) {
            if ((each.flags & streamOpen) && (each.flags & streamWriting) && !flush_stream(&each)) {
                result = RT_EOF;
            }
        }
        return result;
    }
    if (!stream_valid(stream)) {
        return RT_EOF;
    }
    return flush_stream(stream) ? 0 : RT_EOF;
}

int rt_flushall()
{
    int open = 0;
    for (rt_file& each : stream_table) {
        if (each.flags & streamOpen) {
            ++open;
            flush_stream(&each);
        }
    }
    return open;
}

int rt_closeall()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    int closed = 0;
    for (int index = 3; index < stream_count; ++index) {
        if (stream_table[index].flags & streamOpen) {
            close_stream(&stream_table[index]);
            ++closed;
        }
    }
    return closed;
}

void rt_streams_close_at_exit()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    for (rt_file& each : stream_table) {
        if (each.flags & streamOpen) {
            close_stream(&each);
        }
    }
}

int rt_feof(rt_file* stream)
{
    return stream_valid(stream) && (stream->flags & streamEof) != 0;
}

int rt_ferror(rt_file* stream)
{
    return stream_valid(stream) && (stream->flags & streamError) != 0;
}

void rt_clearerr(rt_file* stream)
{
    if (stream_valid(stream)) {
        stream->flags &= ~(streamEof | streamError);
    }
}

int rt_printf(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int result = formatted_write(rt_stdout, format, arguments);
    va_end(arguments);
    return result;
}

int rt_fprintf(rt_file* stream, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int result = formatted_write(stream, format, arguments);
    va_end(arguments);
    return result;
}

int rt_open_stream_count()
{
    std::lock_guard<std::recursive_mutex> guard(rt_lock(RT_LOCK_STREAMS));
    int open = 0;
    for (const rt_file& each : stream_table) {
        open += (each.flags & streamOpen) != 0;
    }
    return open;
}

uint32_t rt_stream_buffer_size(rt_file* stream)
{
    return stream_valid(stream) ? stream->size : 0;
}

int rt_stream_is_line_buffered(rt_file* stream)
{
    return stream_valid(stream) && (stream->flags & streamLine) != 0;
}
