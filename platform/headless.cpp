// The headless front end: its settings, the failure report, and the driver
// that plays the user and reads back what the window system shows.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/portable.h"

namespace ws {

FrontEnd frontEnd;

void fail(const char* reason)
{
    if (frontEnd.failure) {
        frontEnd.failure(reason);
        return;
    }
    std::fprintf(stderr, "rastrel: %s\n", reason);
    std::fflush(nullptr);
    std::_Exit(3);
}

void failf(const char* format, ...)
{
    char reason[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(reason, sizeof reason, format, arguments);
    va_end(arguments);
    fail(reason);
}

static void postInput(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    Window* w = windowOf(window);
    if (!w || !w->enabled) return;   // a disabled window takes no input
    plPostMessage(window, message, wParam, lParam);
}

static plLparam point(int x, int y)
{
    return plMakeLong(static_cast<unsigned>(x) & 0xFFFFu, static_cast<unsigned>(y) & 0xFFFFu);
}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Set-up.

void hlReset()
{
    resetMessages();
    resetWindows();
    resetDrawing();
    resetMenus();
    resetDialogs();
    resetPrinters();
    resetClipboard();
    frontEnd = FrontEnd{};
    lastError = 0;
}

void hlSetCommandLine(const char* commandLine)
{
    frontEnd.commandLine = commandLine ? commandLine : "";
}

void hlSetStartupInfo(uint32_t flags, uint16_t showWindow)
{
    frontEnd.startupFlags = flags;
    frontEnd.startupShow = showWindow;
}

void hlSetDefaultClientSize(int width, int height)
{
    frontEnd.clientWidth = width < 0 ? 0 : width;
    frontEnd.clientHeight = height < 0 ? 0 : height;
}

void hlSetIdleHandler(hlIdleHandler handler)
{
    frontEnd.idle = handler;
}

void hlSetPeekHandler(hlPeekHandler handler)
{
    frontEnd.peek = handler;
}

void hlSetFailureHandler(hlFailureHandler handler)
{
    frontEnd.failure = handler;
}

void hlSetAnswerHandler(hlAnswerHandler handler)
{
    frontEnd.answer = handler;
}

// ---------------------------------------------------------------------------
// Answers.

void hlQueueBoxAnswer(int answer)
{
    Answer a{};
    a.kind = hlAnswerBox;
    a.box = answer;
    answers.push_back(a);
}

void hlQueueSaveAnswer(const char* path)
{
    Answer a{};
    a.kind = hlAnswerSaveDialog;
    a.cancel = path == nullptr;
    a.path = path ? path : "";
    answers.push_back(a);
}

hlPrintAnswer hlPrintOk()
{
    return hlPrintAnswer{1, 0, -1, 0, 0, 0};
}

void hlQueuePrintAnswer(const hlPrintAnswer& answer)
{
    Answer a{};
    a.kind = hlAnswerPrintDialog;
    a.print = answer;
    answers.push_back(a);
}

int hlQueuedAnswerCount()
{
    return static_cast<int>(answers.size());
}

// ---------------------------------------------------------------------------
// Input.

plHwnd hlMainWindow()
{
    int chosen = -1;
    for (int i = 0; i < maxWindows; ++i) {
        const Window& w = windows[i];
        if (!w.used || !w.alive || w.kind != windowPlain || windowOf(w.parent)) continue;
        if (chosen < 0 || w.order < windows[chosen].order) chosen = i;
    }
    return chosen < 0 ? nullptr : handleOf(chosen);
}

void hlPostChar(plHwnd window, unsigned char character)
{
    postInput(window, WM_CHAR, character, 1);
}

void hlType(plHwnd window, const char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i) hlPostChar(window, static_cast<unsigned char>(bytes[i]));
}

void hlPostKey(plHwnd window, uint32_t virtualKey)
{
    postInput(window, WM_KEYDOWN, virtualKey, 1);
}

void hlMouseDown(plHwnd window, int x, int y, int shift)
{
    postInput(window, WM_LBUTTONDOWN, MK_LBUTTON | (shift ? MK_SHIFT : 0u), point(x, y));
}

void hlMouseUp(plHwnd window, int x, int y)
{
    postInput(window, WM_LBUTTONUP, 0, point(x, y));
}

void hlMouseMove(plHwnd window, int x, int y, int buttonDown)
{
    postInput(window, WM_MOUSEMOVE, buttonDown ? MK_LBUTTON : 0u, point(x, y));
}

void hlScroll(plHwnd window, int code, int position)
{
    postInput(window, WM_VSCROLL,
              static_cast<plWparam>(plMakeLong(static_cast<unsigned>(code), static_cast<unsigned>(position))), 0);
}

void hlClose(plHwnd window)
{
    postInput(window, WM_CLOSE, 0, 0);
}

int hlChooseMenuItem(plHwnd window, uint16_t id)
{
    Window* w = windowOf(window);
    if (!w) return -1;
    if (menuItemState(w->menu, id) == -1) return -1;
    if (!w->enabled) return 0;
    int state = openPopupFor(window, id);
    if (state == -1 || (state & (MF_GRAYED | MF_DISABLED)) != 0) return state == -1 ? -1 : 0;
    plPostMessage(window, WM_COMMAND, id, 0);
    return 1;
}

void hlResize(plHwnd window, int width, int height)
{
    Window* w = windowOf(window);
    if (!w) return;
    width = width < 0 ? 0 : (width > 0xFFFF ? 0xFFFF : width);
    height = height < 0 ? 0 : (height > 0xFFFF ? 0xFFFF : height);
    bool changed = width != w->clientWidth || height != w->clientHeight;
    w->clientWidth = width;
    w->clientHeight = height;
    setupSurface(*w);
    uint32_t style = w->classIndex >= 0 ? classes[w->classIndex].style : 0;
    if (changed && (style & (CS_HREDRAW | CS_VREDRAW))) plInvalidateRect(window, nullptr, 1);
    callProcedure(window, WM_SIZE, 0, plMakeLong(static_cast<unsigned>(width), static_cast<unsigned>(height)));
}

void hlFocus(plHwnd window)
{
    plSetFocus(window);
}

plLresult hlQueryEndSession(plHwnd window)
{
    return plSendMessage(window, WM_QUERYENDSESSION, 0, 0);
}

void hlSetClipboardText(const char* text)
{
    setClipboardText(text);
}

int hlPressDialogButton(plHwnd dialog, uint16_t id)
{
    plHwnd control = dialogControl(dialog, id);
    if (!control) return 0;
    return plPostMessage(dialog, WM_COMMAND, id, reinterpret_cast<plLparam>(control));
}

int hlPump()
{
    int handled = 0;
    plMsg msg{};
    while (plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            plPostQuitMessage(static_cast<int>(msg.wParam));   // leave it for the caller's loop
            break;
        }
        plTranslateMessage(&msg);
        plDispatchMessage(&msg);
        if (++handled > 1000000) {
            fail("the message pump never ran dry");
            break;
        }
    }
    return handled;
}

void hlFailAllocations(int count)
{
    frontEnd.failAllocations = count < 0 ? 0 : count;
}

hlPrinterConfig hlDefaultPrinter()
{
    return FrontEnd{}.printer;
}

void hlSetPrinter(const hlPrinterConfig& printer)
{
    frontEnd.printer = printer;
}

// ---------------------------------------------------------------------------
// Read-back.

hlCellInfo hlCell(plHwnd window, int row, int column)
{
    Window* w = windowOf(window);
    if (!w || row < 0 || column < 0 || row >= w->surface.rows || column >= w->surface.columns) {
        return hlCellInfo{0, plRgb(0, 0, 0), plRgb(255, 255, 255)};
    }
    const Cell& cell = w->surface.cells[static_cast<size_t>(row * w->surface.columns + column)];
    return hlCellInfo{cell.character, cell.text, cell.background};
}

std::string hlRowText(plHwnd window, int row)
{
    std::string text;
    Window* w = windowOf(window);
    if (!w || row < 0 || row >= w->surface.rows) return text;
    for (int column = 0; column < w->surface.columns; ++column) {
        char c = w->surface.cells[static_cast<size_t>(row * w->surface.columns + column)].character;
        text += c ? c : ' ';
    }
    return text;
}

int hlSurfaceRows(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->surface.rows : 0;
}

int hlSurfaceColumns(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->surface.columns : 0;
}

int hlSurfaceLineCount(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? static_cast<int>(w->surface.lines.size()) : 0;
}

hlLine hlSurfaceLine(plHwnd window, int index)
{
    Window* w = windowOf(window);
    if (!w || index < 0 || index >= static_cast<int>(w->surface.lines.size())) return hlLine{0, 0, 0, 0};
    return w->surface.lines[static_cast<size_t>(index)];
}

hlCaretInfo hlCaret()
{
    if (!caret.exists) return hlCaretInfo{0, nullptr, 0, 0, 0, 0, 0, 0};
    return hlCaretInfo{1, caret.owner, caret.x, caret.y, caret.width, caret.height, caret.hideCount,
                       caret.hideCount == 0 ? 1 : 0};
}

hlScrollInfo hlScrollBar(plHwnd window, int bar)
{
    Window* w = windowOf(window);
    if (!w) return hlScrollInfo{0, 0, 0};
    const ScrollBar& s = bar == SB_HORZ ? w->horizontal : w->vertical;
    return hlScrollInfo{s.minimum, s.maximum, s.position};
}

std::string hlTitle(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->title : std::string();
}

int hlIsVisible(plHwnd window)
{
    Window* w = windowOf(window);
    return w && w->visible ? 1 : 0;
}

int hlShowValue(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->showValue : -1;
}

int hlIsInvalid(plHwnd window)
{
    Window* w = windowOf(window);
    return w && w->invalid ? 1 : 0;
}

int hlClientWidth(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->clientWidth : 0;
}

int hlClientHeight(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->clientHeight : 0;
}

int hlDisableCount(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->disableCount : 0;
}

int hlMenuItemState(plHwnd window, uint16_t id)
{
    Window* w = windowOf(window);
    return w ? menuItemState(w->menu, id) : -1;
}

int hlMenuItemStateIn(plHmenu menu, uint16_t id)
{
    return menuItemState(menu, id);
}

const char* hlClipboardText()
{
    return clipboardText();
}

int hlBeepCount()
{
    return beepCount;
}

int hlLiveBlockCount()
{
    return liveBlockCount();
}

int hlLiveDcCount()
{
    int count = 0;
    for (const Dc& dc : dcs) count += dc.used ? 1 : 0;
    return count;
}

int hlBoxCount()
{
    return static_cast<int>(boxes.size());
}

const hlBoxRecord* hlBox(int index)
{
    if (index < 0 || index >= static_cast<int>(boxes.size())) return nullptr;
    return &boxes[static_cast<size_t>(index)];
}

int hlFontRequestCount()
{
    return fontRequestCount;
}

hlFontRequest hlLastFontRequest()
{
    return lastFontRequest;
}

hlSaveRequest hlLastSaveRequest()
{
    return lastSaveRequest;
}

struct plPrintDlg hlLastPrintRequest()
{
    return lastPrintRequest;
}

int hlPrintDialogCount()
{
    return printDialogCount;
}

plHwnd hlLastDialog()
{
    return lastDialog;
}

std::string hlDialogItemText(plHwnd dialog, uint16_t id)
{
    Window* control = windowOf(dialogControl(dialog, id));
    return control ? control->title : std::string();
}

std::string hlDialogCaption(plHwnd dialog)
{
    Window* w = windowOf(dialog);
    return w ? w->title : std::string();
}

int hlDocumentCount()
{
    return static_cast<int>(documents.size());
}

const hlDocument* hlDocumentAt(int index)
{
    if (index < 0 || index >= static_cast<int>(documents.size())) return nullptr;
    return &documents[static_cast<size_t>(index)];
}
