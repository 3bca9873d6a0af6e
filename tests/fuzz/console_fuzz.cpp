// Coverage-guided fuzzing of the console window on the headless front end.
//
// The input's first byte says how the console starts: the window hidden
// until the first write or read shows it (as at start-up), or shown at once
// with or without the shortcuts; the window's size (the default, or small,
// so that text wraps and scrolls sooner); the transcript's block with all its slack
// or little or none (so that the text moves down in it often); and the
// transcript empty or already nearly full (of lines, of one line without a
// break, or of control characters), so that short inputs reach the
// discarding of old text.  Every further byte starts an action; its low five bits
// choose it, its top bit asks for the posted input to be handled at once
// (otherwise it waits for the next pump, write or read), and the bytes that
// follow are the action's arguments: typed characters, keys, the mouse,
// the scroll bar, resizes (down to nothing), focus, menu commands, the
// clipboard, the settings, writes of any bytes (short, or a piece repeated
// to fill the transcript), reads (with a line typed for them first; a read
// left waiting is ended with Ctrl+Z), closing, the shutdown query, the
// application ending, the virtual printer, and a full repaint compared cell
// by cell with the text it shows.  Message boxes and dialogs are answered
// from the input too.
//
// Ctrl+C raises the interrupt; its handler throws, as the console's return
// point does, and the action ends there.  The window closing during a read
// ends the process through exit, whose hook throws too; the input ends.
//
// After every action the console's state is checked: the transcript inside
// its block and under its capacity, the held positions inside the text, the
// selection in order, the pending line's bounds, the row count never behind
// the rows the text takes (and equal to them after a resize), the row
// mapping against a count of its own and back, the layout, the caret, and
// the window enabled with no print job left over.  Anything broken aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/inspect.h"
#include "frontends/headless/readback.h"
#include "runtime/runtime.h"

namespace {

ConsoleStateRecord& S = ConsoleState;

char transcript[consoleTranscriptSize];
char pendingInput[consoleInputSize];
std::string prefills[3];      // the texts a transcript may start with
std::string scratch;          // the save dialog's folder
plHwnd window;

// The input, read from the front; an input used up reads as zeros.
struct Input {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    bool done() const { return at >= size; }
    int byte() { return at < size ? data[at++] : 0; }
    int word() { return byte() << 8 | byte(); }
    std::string bytes(size_t count)
    {
        if (count > size - at) count = size - at;
        std::string text(reinterpret_cast<const char*>(data + at), count);
        at += count;
        return text;
    }
};
Input in;

const bool trace = std::getenv("CONSOLE_FUZZ_TRACE") != nullptr;   // each action on standard error
size_t outputLeft;            // bytes the input may still write
int idleCalls;                // the current read's waits with nothing to deliver
const char* action = "start";

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "console fuzz: after %s: %s\n", action, what.c_str());
    std::fflush(stderr);
    std::abort();
}

void check(bool condition, const char* what)
{
    if (!condition) fail(what);
}

// The console's return point and the end of the process, as the tests see
// them: the action (or the whole input) is abandoned.
struct interrupted {};
struct programEnded {};

void onInterrupt(int)
{
    rt_signal(RT_SIGINT, onInterrupt);   // a handler fires once per registration
    throw interrupted{};
}

void onExit() { throw programEnded{}; }

void onFailure(const char* reason) { fail(std::string("the window system gave up: ") + reason); }

// A read waits with nothing left to deliver: the user ends the input.
int onIdle()
{
    if (++idleCalls > 4) return 0;
    pwPostChar(window, charCtrlZ);
    return 1;
}

void onAnswer(hlAnswerKind kind)
{
    const int choice = in.byte();
    if (kind == hlAnswerBox) {
        // The box just shown is the last one recorded: a warning takes OK.
        static const int answers[] = {IDNO, IDYES, IDCANCEL};
        const hlBoxRecord* box = hlBox(hlBoxCount() - 1);
        hlQueueBoxAnswer(box && (box->type & 0xF) == MB_YESNOCANCEL ? answers[choice % 3] : IDOK);
    } else if (kind == hlAnswerSaveDialog) {
        static const char* const names[] = {nullptr, "saved.txt", "missing/saved.txt", ""};
        const char* name = names[choice % 4];
        hlQueueSaveAnswer(name ? (scratch + "/" + name).c_str() : nullptr);
    } else {
        hlPrintAnswer answer = hlPrintOk();
        answer.ok = choice % 8 != 0;
        answer.copies = choice >> 3 & 3;
        answer.collate = (choice >> 5 & 1) - (choice >> 7 & 1);
        if (choice & 0x40) {
            answer.fromPage = in.byte() % 6;
            answer.toPage = in.byte() % 6;
        }
        answer.noDc = choice % 8 == 7;
        hlQueuePrintAnswer(answer);
    }
}

// ---------------------------------------------------------------------------
// The checks.  They run after every action and are not what the search
// should steer by, so the coverage leaves them out (it made them most of
// the time spent).

bool inText(const char* p) { return p >= S.textStart && p <= S.textEnd; }

// Row and column of p, counted from the start of the text in the simplest
// way: every CR LF pair wholly before p ends a line of 1 + L / columns rows.
[[clang::no_sanitize("coverage")]] void referenceRowColumn(const char* p, int64_t* row, int64_t* column)
{
    const int64_t width = S.screenColumns;
    int64_t rows = 0;
    const char* start = S.textStart;
    for (const char* q = start; q + 1 < p; ++q) {
        if (q[0] == '\r' && q[1] == '\n') {
            rows += 1 + (q - start) / width;
            start = q + 2;
            ++q;
        }
    }
    *row = rows + (p - start) / width;
    *column = (p - start) % width;
}

[[clang::no_sanitize("coverage")]] void checkState()
{
    check(S.textStart && S.textEnd && S.textStart <= S.textEnd, "the text's bounds out of order");
    check(S.textStart >= transcriptBlock && S.textEnd < transcriptBlock + transcriptBlockSize,
          "the text outside its block");
    check(S.capacity == consoleCapacity && S.textEnd - S.textStart < S.capacity, "the text fills its capacity");
    check(S.viewStart && inText(S.viewStart), "viewStart outside the text");
    check(!S.selAnchor || inText(S.selAnchor), "selAnchor outside the text");
    check(!S.selStart || inText(S.selStart), "selStart outside the text");
    check(!S.selEnd || inText(S.selEnd), "selEnd outside the text");
    check(!(S.selStart && S.selEnd) || S.selStart <= S.selEnd, "selStart after selEnd");
    check(S.inputStart == pendingInput && S.inputStart <= S.inputRead && S.inputRead <= S.inputEnd &&
              S.inputEnd <= S.inputStart + consoleInputSize,
          "the pending line's positions out of order");
    check(S.lineReady || S.inputRead == S.inputStart, "bytes taken from a line that is not complete");
    check(S.screenRows >= 1 && S.screenColumns >= 1, "no rows or no columns");
    if (cellWidth > 0 && (S.windowWidth - 10) / cellWidth >= 1) {
        check(S.screenColumns == (S.windowWidth - 10) / cellWidth, "the columns do not fit the window");
    }
    if (cellHeight > 0 && S.windowHeight / cellHeight >= 1) {
        check(S.screenRows == S.windowHeight / cellHeight, "the rows do not fit the window");
    }
    check(S.topRow >= 0, "topRow negative");
    check(caretRow >= 0 && caretColumn >= 0, "the caret at a negative row or column");

    const int32_t rows = countRows();
    if (S.lastRow < rows) {
        fail("lastRow " + std::to_string(S.lastRow) + " behind the rows the text takes, " + std::to_string(rows));
    }

    // The row mapping at one position the input picks, against the count
    // above and back again (not from between the bytes of a line break).
    const int64_t length = S.textEnd - S.textStart;
    char* p = S.textStart + (length > 0 ? static_cast<int64_t>(in.at * 7919) % (length + 1) : 0);
    int32_t row = -1, column = -1;
    positionToRowColumn(p, &row, &column);
    int64_t wantRow = 0, wantColumn = 0;
    referenceRowColumn(p, &wantRow, &wantColumn);
    if (row != wantRow || column != wantColumn) {
        fail("position " + std::to_string(p - S.textStart) + " maps to row " + std::to_string(row) + " column " +
             std::to_string(column) + ", not " + std::to_string(wantRow) + " " + std::to_string(wantColumn));
    }
    if (!(p > S.textStart && p < S.textEnd && p[-1] == '\r' && p[0] == '\n') &&
        rowColumnToPosition(row, column) != p) {
        fail("row " + std::to_string(row) + " column " + std::to_string(column) + " maps back to " +
             std::to_string(rowColumnToPosition(row, column) - S.textStart) + ", not " +
             std::to_string(p - S.textStart));
    }

    if (plIsWindow(window)) {
        check(pwIsEnabled(window), "the window left disabled");
        check(!plIsWindow(hlLastDialog()), "a print job's dialog left open");
    }
}

// A full repaint, then every cell of the window against the text from
// viewStart as drawing lays it out: selected bytes white on black, the
// others black on white, nothing where nothing was drawn.
[[clang::no_sanitize("coverage")]] void checkRepaint()
{
    if (!pwIsVisible(window)) return;
    plInvalidateRect(window, nullptr, 1);
    pwPresent();
    int surfaceRows = 0, surfaceColumns = 0;
    pwSurfaceSize(window, &surfaceRows, &surfaceColumns, nullptr, nullptr);
    struct cell {
        char character;
        int8_t selected;   // -1: not drawn
    };
    std::vector<cell> want(static_cast<size_t>(surfaceRows) * static_cast<size_t>(surfaceColumns), cell{0, -1});
    int64_t drawRow = 0, drawColumn = 0;
    bool selected = false;
    const auto put = [&](char c) {
        if (drawRow < surfaceRows && drawColumn < surfaceColumns) {
            want[static_cast<size_t>(drawRow * surfaceColumns + drawColumn)] = cell{c, static_cast<int8_t>(selected)};
        }
    };
    const auto ordinary = [&](char c) {
        put(c);
        if (++drawColumn >= S.screenColumns) {
            drawColumn = 0;
            ++drawRow;
        }
    };
    const int tabWidth = ConsoleSettings.tabWidth > 0 ? ConsoleSettings.tabWidth : 4;
    for (const char* p = S.viewStart; p < S.textEnd && drawRow < S.screenRows; ++p) {
        selected = S.selStart && S.selEnd && S.selStart <= p && p < S.selEnd;
        switch (*p) {
        case charBell:
            break;
        case charBackspace:
            if (drawColumn > 0) {
                --drawColumn;
                put(' ');
            }
            break;
        case charTab:
            for (int64_t n = tabWidth - drawColumn % tabWidth; n > 0; --n) ordinary(' ');
            break;
        case charLineFeed:
            ++drawRow;
            drawColumn = 0;
            break;
        case charFormFeed:
            drawRow += S.screenRows;
            drawColumn = 0;
            break;
        case charReturn:
            drawColumn = 0;
            break;
        default:
            ordinary(*p);
            break;
        }
    }
    const plColor black = plRgb(0, 0, 0), white = plRgb(255, 255, 255);
    for (int r = 0; r < surfaceRows; ++r) {
        const pwCell* cells = pwSurfaceRow(window, r);
        for (int c = 0; c < surfaceColumns; ++c) {
            const cell& w = want[static_cast<size_t>(r * surfaceColumns + c)];
            const pwCell& got = cells[c];
            const bool colours = w.selected < 0 || (got.text == (w.selected ? white : black) &&
                                                    got.background == (w.selected ? black : white));
            if (got.character != w.character || !colours) {
                fail("the repainted window differs at row " + std::to_string(r) + " column " + std::to_string(c) +
                     ": " + std::to_string(got.character) + " drawn, " + std::to_string(w.character) + " expected");
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The actions.

// A pixel coordinate: mostly a cell's (cells are width pixels, the text
// starts 5 pixels in), sometimes any 16-bit value.
int pixel(int cell)
{
    const int mode = in.byte();
    if (mode % 8 == 0) return static_cast<int16_t>(in.word());
    return (in.byte() % 128) * cell + mode % cell - (mode & 0x80 ? cell : 0);
}

void write(const std::string& text)
{
    consoleWriteHook(text.data(), static_cast<uint32_t>(text.size()));
}

void read()
{
    if (appFinished) return;
    const uint32_t capacity = static_cast<uint32_t>(in.byte() * 2 + 1);
    const std::string typed = in.bytes(static_cast<size_t>(in.byte() % 48));
    pwType(window, typed.data(), typed.size());
    char buffer[consoleInputSize + 1];
    uint32_t count = 12345;
    idleCalls = 0;
    hlSetIdleHandler(onIdle);
    const int result = consoleReadHook(buffer, capacity > consoleInputSize ? consoleInputSize : capacity, &count);
    hlSetIdleHandler(nullptr);
    check(result == 1 && count <= capacity && count <= consoleInputSize, "a read's count");
}

void resize()
{
    int width, height;
    switch (in.byte() % 4) {
    case 0:   // tiny, down to nothing
        width = in.byte() % 32;
        height = in.byte() % 40;
        break;
    case 1:   // large, now and then as large as a size can be
        width = in.byte() < 16 ? 0xFFFF : in.word() & 0x7FF;
        height = in.byte() < 16 ? 0xFFFF : in.word() & 0x7FF;
        break;
    default:
        width = in.byte() * 8;
        height = in.byte() * 4;
        break;
    }
    pwResize(window, width, height);
    // A resize counts the rows again.
    if (S.lastRow != countRows()) {
        fail("lastRow " + std::to_string(S.lastRow) + " after a resize, rows " + std::to_string(countRows()));
    }
}

void settings()
{
    static const int16_t tabs[] = {0, 1, 2, 3, 4, 8, 13, 100, -4, 4, 4, 4};
    static const int16_t sizes[] = {10, 1, 8, 12, 24, 72, 0, -12};
    const int choice = in.byte();
    if (choice % 3 == 0) {
        ConsoleSettings.tabWidth = tabs[(choice / 3) % 12];
    } else if (choice % 3 == 1) {
        ConsoleSettings.fontSize = sizes[(choice / 3) % 8];
    } else {
        ConsoleSettings.askToSave = choice & 0x80 ? 1 : 0;
    }
}

void printer()
{
    hlPrinterConfig config = hlDefaultPrinter();
    const int choice = in.byte();
    config.present = choice % 8 != 0;
    if (choice & 0x08) {
        config.width = in.byte() * 8;
        config.height = in.byte() * 8;
        config.charWidth = in.byte() % 64;
        config.rowHeight = in.byte() % 128;
    }
    config.startDocResult = choice & 0x10 ? 0 : 1;
    config.failStartPage = (choice & 0x60) == 0x20;
    config.failEndPage = (choice & 0x60) == 0x40;
    config.cancelAfterPages = choice & 0x80 ? in.byte() % 4 : 0;
    hlSetPrinter(config);
}

void menu()
{
    static const uint16_t ids[] = {commandSave,  commandPrint, commandExit,     commandCut,
                                   commandCopy,  commandPaste, commandSelectAll, commandNew};
    pwChooseMenuItem(window, ids[in.byte() % 8]);
}

void key()
{
    static const uint32_t keys[] = {VK_PRIOR, VK_NEXT, VK_HOME, VK_END, VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};
    const int choice = in.byte();
    pwPostKey(window, choice < 200 ? keys[choice % 8] : static_cast<uint32_t>(in.byte()));
}

void perform(int code)
{
    switch (code & 0x1F) {
    case 0:
    case 1:
    case 2:
        action = "type";
        {
            const std::string typed = in.bytes(static_cast<size_t>(in.byte() % 32 + 1));
            pwType(window, typed.data(), typed.size());
        }
        break;
    case 3:
        action = "type a line";
        {
            std::string typed = in.bytes(static_cast<size_t>(in.byte() % 64));
            typed += '\r';
            pwType(window, typed.data(), typed.size());
        }
        break;
    case 4:
    case 5:
        action = "key";
        key();
        break;
    case 6:
        action = "press";
        {
            const int x = pixel(cellWidth > 0 ? cellWidth : 8);
            const int y = pixel(cellHeight > 0 ? cellHeight : 16);
            pwMouseDown(window, x, y, in.byte() & 1);
        }
        break;
    case 7:
        action = "release";
        {
            const int x = pixel(cellWidth > 0 ? cellWidth : 8);
            pwMouseUp(window, x, pixel(cellHeight > 0 ? cellHeight : 16));
        }
        break;
    case 8:
    case 9:
        action = "move";
        {
            const int x = pixel(cellWidth > 0 ? cellWidth : 8);
            const int y = pixel(cellHeight > 0 ? cellHeight : 16);
            pwMouseMove(window, x, y, in.byte() % 4 != 0);
        }
        break;
    case 10:
        action = "scroll";
        {
            const int choice = in.byte();
            pwScroll(window, choice < 240 ? choice % 9 : in.word(), choice & 1 ? in.word() : in.byte());
        }
        break;
    case 11:
        action = "resize";
        resize();
        break;
    case 12:
        action = "focus";
        pwFocus(in.byte() & 1 ? window : nullptr);
        break;
    case 13:
    case 14:
        action = "menu";
        menu();
        break;
    case 15:
        action = "clipboard";
        {
            const int length = in.byte();
            if (length == 255) {
                hlSetClipboardText(nullptr);
            } else {
                hlSetClipboardText(in.bytes(static_cast<size_t>(length % 96)).c_str());
            }
        }
        break;
    case 16:
    case 17:
    case 18:
        action = "write";
        {
            const std::string text = in.bytes(static_cast<size_t>(in.byte() % 80 + 1));
            write(text);
        }
        break;
    case 19:
        action = "write a burst";
        {
            const std::string piece = in.bytes(static_cast<size_t>(in.byte() % 64 + 1));
            size_t times = static_cast<size_t>(in.byte()) * 16 + 1;
            if (piece.size() * times > outputLeft) times = outputLeft / (piece.size() > 0 ? piece.size() : 1);
            std::string text;
            for (size_t i = 0; i < times; ++i) text += piece;
            outputLeft -= text.size();
            write(text);
        }
        break;
    case 20:
    case 21:
    case 22:
        action = "read";
        read();
        break;
    case 23:
        action = "pump";
        pwPump();
        break;
    case 24:
        action = "repaint";
        checkRepaint();
        break;
    case 25:
        action = "settings";
        settings();
        break;
    case 26:
        action = "close";
        pwClose(window);
        break;
    case 27:
        action = "shutdown query";
        pwQueryEndSession(window);
        break;
    case 28:
        action = "the application ends";
        appFinished = 1;
        break;
    case 29:
        action = "printer";
        printer();
        break;
    default:
        action = "Ctrl+C";
        pwPostChar(window, charCtrlC);
        break;
    }
    if (code & 0x80) {
        action = "a pump after the action";
        pwPump();
    }
}

void setUp(int mode)
{
    static const int32_t blockSizes[] = {consoleTranscriptSize, consoleCapacity, consoleCapacity + 64,
                                         consoleCapacity + 4096};
    hlReset();
    hlSetFailureHandler(onFailure);
    hlSetAnswerHandler(onAnswer);
    consoleReset();
    rt_set_exit_hook(onExit);
    rt_signal(RT_SIGINT, onInterrupt);

    const plHinstance instance = plGetModuleHandle(nullptr);
    registerConsoleResources(instance);
    check(createConsoleWindow(instance) == 1, "no console window");
    window = consoleWindow;
    std::memset(transcript, '#', sizeof transcript);
    initConsoleState(transcript, pendingInput, SW_SHOWDEFAULT, blockSizes[mode >> 2 & 3]);
    static const int widths[] = {0, 330, 90, 170}, heights[] = {0, 200, 64, 40};
    if (mode >> 6) pwResize(window, widths[mode >> 6], heights[mode >> 6]);
    if (mode >> 4 & 3) {
        const std::string& text = prefills[(mode >> 4 & 3) - 1];
        setTranscriptText(text.data(), static_cast<int32_t>(text.size()));
        S.modified = 1;
    }
    // Hidden until the first write or read shows it, or shown at once (as
    // the console tests show it), with the shortcuts or without them.
    if (mode & 3) {
        plShowWindow(window, SW_SHOWDEFAULT);
        S.windowShown = 1;
        if (mode & 2) consoleAccelerators = plLoadAccelerators(instance, "Vellomex");
        pwPump();
    }
}

void removeScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char folder[] = "/tmp/rastrel-console-fuzz.XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("console fuzz: mkdtemp");
        std::abort();
    }
    scratch = folder;
    std::atexit(removeScratch);
    // Lines, one line without a break, and control characters among words.
    for (int i = 0; prefills[0].size() < consoleCapacity - 100; ++i) {
        prefills[0] += "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 97), '.') + "\r\n";
    }
    for (int i = 0; i < consoleCapacity - 60; ++i) prefills[1] += static_cast<char>('a' + i % 26);
    static const char* const pieces[] = {"word ", "\r\n", "\n", "\r", "\t", "\b", "\a", "\f", "\r\r\n", "\xe9"};
    for (uint32_t i = 1; prefills[2].size() < consoleCapacity - 30; ++i) prefills[2] += pieces[(i * 2654435761u >> 24) % 10];
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    in = Input{data, size, 0};
    outputLeft = consoleTranscriptSize;
    action = "start";
    setUp(in.byte());
    for (int actions = 0; !in.done() && actions < 1000; ++actions) {
        bool going = true;
        try {
            perform(in.byte());
        } catch (const interrupted&) {
            action = "an interrupt";
        } catch (const programEnded&) {
            going = false;
        }
        hlSetIdleHandler(nullptr);
        if (trace) {
            std::fprintf(stderr, "%zu: %s; text %td bytes, lastRow %d, reading %d\n", in.at, action,
                         S.textEnd - S.textStart, S.lastRow, S.reading);
        }
        checkState();
        if (!going || !plIsWindow(window)) break;
    }
    hlReset();
    consoleReset();
    rt_signal(RT_SIGINT, RT_SIG_DFL);
    rt_set_exit_hook(nullptr);
    return 0;
}
