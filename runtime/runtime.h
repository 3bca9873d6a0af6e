// The process services beneath the converter and the console window:
// handle slots, buffered file streams, the standard streams and stream
// objects, exit/atexit/abort, the signal table, command-line splitting and
// the per-thread record.
//
// Plain procedural interface: result values for failure, nothing throws.
// Names use the rt_ prefix so they never collide with the C library's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>

// ---------------------------------------------------------------------------
// Start-up.  Creates the five locks, fills slots 0 to 2 with the plain binding
// (the process's own standard input, output and error), creates the main
// thread's record and binds the stream objects.  Returns 1 on success, 0 when
// the thread-local record cannot be set up (the caller then exits with -1).
// Calling it again does nothing and returns 1.
int rt_startup();

// ---------------------------------------------------------------------------
// Per-thread record.  Every library operation that fails records an error code
// here.
struct runtimeThreadData {
    uint32_t lastError;            // 0 when the record is created
    uint8_t other[592];            // the library's other per-thread state
};
static_assert(sizeof(runtimeThreadData) == 596, "per-thread record is 596 bytes");

// The calling thread's record, made on first use.  When it cannot be made,
// shows "Could not get thread local data" ("ZR Win32 Runtime") through
// rt_message_box and exits with status 0.  The slot is freed at exit by a
// function registered at start-up; a later use makes it again.
runtimeThreadData* getThreadData();
void rt_set_last_error(uint32_t code);
uint32_t rt_last_error();

// Error codes recorded by the runtime (the platform's numbering).
enum : uint32_t {
    RT_ERROR_FILE_NOT_FOUND = 2,
    RT_ERROR_TOO_MANY_OPEN_FILES = 4,
    RT_ERROR_ACCESS_DENIED = 5,
    RT_ERROR_INVALID_HANDLE = 6,
    RT_ERROR_NOT_ENOUGH_MEMORY = 8,
    RT_ERROR_WRITE_FAULT = 29,
    RT_ERROR_READ_FAULT = 30,
    RT_ERROR_HANDLE_DISK_FULL = 39,
    RT_ERROR_INVALID_PARAMETER = 87,
};

// ---------------------------------------------------------------------------
// Handle slots: 256 slots; 0 to 2 are the standard handles.
enum { RT_SLOT_COUNT = 256 };

// Open flags for rt_slot_open.
enum : unsigned {
    RT_OPEN_READ = 1u,
    RT_OPEN_WRITE = 2u,
    RT_OPEN_CREATE = 4u,
    RT_OPEN_TRUNCATE = 8u,
    RT_OPEN_APPEND = 16u,   // every write first moves to the end of the file
    RT_OPEN_TEXT = 32u,     // LF <-> CR LF translation
};

// Every failure records an error code: RT_ERROR_INVALID_HANDLE for a slot
// number of 256 or more or an empty slot, RT_ERROR_TOO_MANY_OPEN_FILES when
// no slot is free, the device's failure otherwise.  Opening a folder fails.
int rt_slot_open(const char* path, unsigned flags);   // slot number, or -1
// Reads with the text flag drop every CR followed by LF; a read that fills
// the request and ends in CR drops that CR too and steps back over it, so a
// CR LF split across two reads yields one LF.  Returns 0 at end of input and
// when the console's read hook fails.
int rt_slot_read(int slot, void* buffer, uint32_t count);        // bytes, or -1
// Returns the count written: all of it, fewer when the device failed part
// way (the error code is recorded), or -1 when nothing went out.  Writes to
// the console report the translated length, as the hook takes every byte.
int rt_slot_write(int slot, const void* buffer, uint32_t count); // bytes, or -1
int rt_slot_close(int slot);                                     // 0, or -1

// The console's hooks on slots 0 to 2 (the console binding).  While attached,
// reads on slot 0 call the read hook (capacity at most 256) and writes on
// slots 1 and 2 call the write hook, with the text flag's line-end
// translation; a write request of more than 2048 bytes reaches the hook in
// several calls.  A null hook leaves that direction on the plain binding.
// Attaching and detaching first flush stdout and stderr to where they went
// before.  While attached, stdout is line buffered in 256 bytes.
typedef void (*rt_write_hook)(const char* bytes, uint32_t count);
typedef int (*rt_read_hook)(char* buffer, uint32_t capacity, uint32_t* count);
void rt_attach_console(rt_write_hook write_hook, rt_read_hook read_hook);
void rt_detach_console();   // back to the plain binding

// ---------------------------------------------------------------------------
// Buffered file streams over the slots.
//
// stdin: slot 0, line buffered, 256 bytes.  stderr: slot 2, unbuffered: every
// write request goes to the device at once.  stdout: slot 1, line buffered in
// 256 bytes on the console and on a terminal (a LF sends the buffer up to and
// including it; a byte to be stored into a full buffer sends the full buffer
// first); redirected to a file or a pipe on the plain binding it is fully
// buffered in 4096 bytes.  Files opened with rt_fopen are fully buffered in
// 64 KiB.  Before any stream reads its device, stdout's buffered text is
// sent; a block read from a line-buffered input stream first sends every
// line-buffered output stream's text.  End of file is sticky until
// rt_clearerr.  A failing device read sets both the end-of-file and the error
// state.
struct rt_file;

extern rt_file* const rt_stdin;
extern rt_file* const rt_stdout;
extern rt_file* const rt_stderr;

enum { RT_EOF = -1 };

// Modes: "r", "w" or "a", then at most one each of "+" and "b" or "t", in any
// order.  Without "b" the file is in text mode (CR LF on the device).
rt_file* rt_fopen(const char* path, const char* mode);   // null on failure
// Fails (RT_EOF) also when an earlier write to the stream was lost.
int rt_fclose(rt_file* stream);                          // 0, or RT_EOF
size_t rt_fread(void* buffer, size_t size, size_t count, rt_file* stream);
size_t rt_fwrite(const void* buffer, size_t size, size_t count, rt_file* stream);
int rt_fgetc(rt_file* stream);
int rt_ungetc(int c, rt_file* stream);   // puts one character back; c, or RT_EOF
int rt_fputc(int c, rt_file* stream);
int rt_fputs(const char* text, rt_file* stream);
// Flushing an input stream drops what it read ahead (a seekable file's
// position moves back to what the program has consumed).
int rt_fflush(rt_file* stream);     // null flushes every open stream
int rt_flushall();                  // returns the number of open streams
int rt_closeall();                  // closes every stream but the standard three; returns how many
int rt_feof(rt_file* stream);
int rt_ferror(rt_file* stream);
void rt_clearerr(rt_file* stream);
int rt_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int rt_fprintf(rt_file* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
int rt_open_stream_count();         // streams on the list of open streams, the standard three included

// ---------------------------------------------------------------------------
// The standard stream objects, bound to rt_stdin, rt_stdout and rt_stderr with
// the ties and unitbuf of the standard stream binding.  Usable once
// rt_startup has run.  Their stream buffers hold no characters: cout hands
// each run of characters to stdout in one request, cerr and clog write to
// stderr a character at a time, input takes one character at a time from
// stdin, and flushing an object flushes its file stream.  The wide objects
// carry UTF-8 over the same file streams.
namespace rt {
extern std::istream& cin;
extern std::ostream& cout;
extern std::ostream& cerr;
extern std::ostream& clog;
extern std::wistream& wcin;
extern std::wostream& wcout;
extern std::wostream& wcerr;
extern std::wostream& wclog;
}  // namespace rt

// ---------------------------------------------------------------------------
// Exit, atexit, abort.
enum { RT_ATEXIT_MAX = 64 };
int rt_atexit(void (*function)());      // 0 on success, -1 when the table is full (or null)
// exit: the atexit functions, newest first (each leaves the table before it
// runs); then the exit hook; then every open stream is flushed and closed;
// then the process ends with the status.
[[noreturn]] void rt_exit(int status);
// abort: the exit hook; then signal 1; then the process ends with status 1,
// without atexit functions or closing streams.
[[noreturn]] void rt_abort();
// The exit hook: called by exit after the atexit functions, and first thing by
// abort.  Empty until the console registers one.  It may not return (the
// console resumes its main routine instead).
void rt_set_exit_hook(void (*hook)());

// ---------------------------------------------------------------------------
// Signals 1 to 6.  Signal 1 is abort's, signal 4 the interrupt (Ctrl+C).
enum { RT_SIGABRT = 1, RT_SIGINT = 4, RT_NSIG = 6 };
typedef void (*rt_sighandler)(int);
#define RT_SIG_DFL (reinterpret_cast<rt_sighandler>(0))
#define RT_SIG_IGN (reinterpret_cast<rt_sighandler>(1))
#define RT_SIG_ERR (reinterpret_cast<rt_sighandler>(-1))
// Raising a signal whose handler is neither default nor ignore resets it to
// the default, then calls it.  The default for signal 1 returns; for every
// other signal it ends the process through rt_exit(0).
rt_sighandler rt_signal(int signal, rt_sighandler handler);   // the previous handler, or RT_SIG_ERR
int rt_raise(int signal);   // 0, or -1 for an unknown signal

// ---------------------------------------------------------------------------
// Command line.
// Splits a command line into a count and a null-terminated vector; registers
// with atexit the release of what it allocated.  Never fails: when memory runs
// short the count is 0 and the vector holds only the null pointer.
void rt_split_command_line(const char* line, int* argc, char*** argv);
// Builds a command line from a process's arguments so that splitting it gives
// them back.  Writes at most size bytes including the NUL; returns the length
// needed (excluding the NUL).
size_t rt_build_command_line(int argc, const char* const* argv, char* out, size_t size);

// ---------------------------------------------------------------------------
// Replacing a file (the console's Save).  Writes count bytes so that the file
// at path either keeps its earlier contents or holds exactly the new ones;
// a symbolic link is written through (its file made where it dangles), a
// device or pipe is written in place, and a folder or a file the user may not
// write is refused.  Where the folder refuses a new file beside the target,
// the target is written in place as a plain write would.  Returns 1 on
// success, 0 on failure (no new file is left behind).
int rt_replace_file(const char* path, const char* bytes, size_t count);

// ---------------------------------------------------------------------------
// Fatal error reporting: message boxes of the runtime's own.  The default box
// writes "caption: text" and a line end straight to the process's standard
// error (fd 2) and returns 1 (OK); the console replaces it with a real
// message box.  Null restores the default.
typedef int (*rt_message_box_fn)(const char* text, const char* caption, unsigned flags);
void rt_set_message_box(rt_message_box_fn box);
int rt_message_box(const char* text, const char* caption, unsigned flags);

// ---------------------------------------------------------------------------
// Processor faults and the terminate path (fault_handlers.cpp).
// Installs the handlers for the processor faults (invalid memory access,
// division by zero, illegal instruction, bus error), which show
// "Unhandled exception: ..." in a message box and let the fault end the
// process, and the terminate handler, which calls rt_abort.  Called first
// thing at process entry.
void rt_install_fault_handlers();
// Nonzero while the terminate handler runs: nothing can unwind out of it.
int rt_terminating();
// Called after a fault's message box has been answered, just before the
// fault ends the process (a scripted run writes its last report there).
void rt_set_fault_hook(void (*hook)(int signal));
// The platform's exception code for a fault signal and its si_code.
uint32_t rt_fault_code(int signal, int code);
