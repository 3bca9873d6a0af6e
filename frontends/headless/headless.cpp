// The headless front end: its hooks, the answer queues, the virtual printer,
// the clipboard another program would share, and the read-back of what it
// was shown.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frontends/headless/readback.h"

namespace {

const char printerName[] = "Headless Printer";

struct answerRecord {
    hlAnswerKind kind;
    int box;
    bool cancel;
    std::string path;
    hlPrintAnswer print;
};

// Everything the front end holds, back to these values at hlReset.
struct headlessState {
    hlIdleHandler idle = nullptr;
    hlPeekHandler peek = nullptr;
    hlFailureHandler failure = nullptr;
    hlAnswerHandler answer = nullptr;
    hlEndingHandler ending = nullptr;
    std::vector<answerRecord> answers;
    std::vector<hlBoxRecord> boxes;
    hlSaveRequest lastSaveRequest{};
    struct plPrintDlg lastPrintRequest {};
    int printDialogCount = 0;
    plHwnd lastDialog = nullptr;
    hlFontRequest lastFontRequest{};
    int fontRequestCount = 0;
    bool clipboardHolds = false;
    std::string clipboard;
    int beeps = 0;
    hlPrinterConfig printer{1, 4800, 6600, 50, 100, 1, 0, 0, 0};
    int pagesEnded = 0;        // of the document being printed
};
headlessState state;

const char* kindName(hlAnswerKind kind)
{
    switch (kind) {
    case hlAnswerBox:
        return "message box";
    case hlAnswerSaveDialog:
        return "save dialog";
    case hlAnswerPrintDialog:
        return "print dialog";
    }
    return "dialog";
}

void failWith(const char* reason)
{
    if (state.failure) {
        state.failure(reason);
        return;
    }
    std::fprintf(stderr, "rastrel: %s\n", reason);
    std::fflush(nullptr);
    std::_Exit(3);
}

// The next queued answer of the kind, asking the answer handler when none
// is queued; false (and a failure reported) when there is none.
bool takeAnswer(hlAnswerKind kind, const std::string& what, answerRecord* out)
{
    if (state.answers.empty() && state.answer) state.answer(kind);
    std::string reason;
    if (state.answers.empty()) {
        reason = std::string(kindName(kind)) + " " + what + " opened with no answer";
    } else if (state.answers.front().kind != kind) {
        reason = std::string(kindName(kind)) + " " + what + " opened but the next answer is for a " +
                 kindName(state.answers.front().kind);
    }
    if (!reason.empty()) {
        failWith(reason.c_str());
        return false;
    }
    *out = state.answers.front();
    state.answers.erase(state.answers.begin());
    return true;
}

// ---------------------------------------------------------------------------
// The hooks.

int onWait()
{
    return state.idle ? state.idle() : 0;
}

int onPoll()
{
    return state.peek ? state.peek() : 0;
}

void onWindowChanged(plHwnd window, uint32_t changes)
{
    if ((changes & pwCreated) && pwKindOf(window) == pwDialog) state.lastDialog = window;
}

void onBeep(uint32_t)
{
    ++state.beeps;
}

void onMeasureFont(const pwFontRequest* request, pwFontMetrics* metrics)
{
    if (request) {
        state.lastFontRequest = *request;
        ++state.fontRequestCount;
    }
    *metrics = pwFontMetrics{8, 16, 0};
}

int onMessageBox(plHwnd, const char* text, const char* caption, uint32_t type)
{
    state.boxes.push_back(hlBoxRecord{caption, text, type, 0});
    const size_t index = state.boxes.size() - 1;
    answerRecord answer{};
    std::string what = "\"";
    what.append(caption).append("\" \"").append(text).append("\"");
    if (!takeAnswer(hlAnswerBox, what, &answer)) return 0;
    state.boxes[index].answer = answer.box;
    return answer.box;
}

int onSaveDialog(const plOpenFileName* request, char* path, size_t size)
{
    hlSaveRequest& r = state.lastSaveRequest;
    r = hlSaveRequest{};
    r.shown = 1;
    r.owner = request->owner;
    if (request->filter) {
        for (const char* p = request->filter; *p; p += std::strlen(p) + 1) {
            r.filters += p;
            r.filters += '|';
        }
    }
    r.filterIndex = request->filterIndex;
    r.maxFile = request->maxFile;
    r.maxFileTitle = request->maxFileTitle;
    r.flags = request->flags;
    r.defExt = request->defExt ? request->defExt : "";
    r.hasTitle = request->title != nullptr;
    r.hasInitialDir = request->initialDir != nullptr;

    answerRecord answer{};
    if (!takeAnswer(hlAnswerSaveDialog, "", &answer) || answer.cancel) return 0;
    if (answer.path.size() + 1 > size) return 0;
    std::memcpy(path, answer.path.c_str(), answer.path.size() + 1);
    return 1;
}

int onPrintDialog(struct plPrintDlg* request, char* printer, size_t size)
{
    state.lastPrintRequest = *request;
    ++state.printDialogCount;
    answerRecord answer{};
    if (!takeAnswer(hlAnswerPrintDialog, "", &answer) || !answer.print.ok) return 0;
    const hlPrintAnswer& a = answer.print;
    pwAnswerPrintRequest(request, static_cast<uint16_t>(a.copies > 0 ? a.copies : 0), a.collate, a.toPage > 0,
                         static_cast<uint16_t>(a.fromPage), static_cast<uint16_t>(a.toPage));
    printer[0] = '\0';
    if (!a.noDc && state.printer.present && size > sizeof printerName) {
        std::memcpy(printer, printerName, sizeof printerName);
    }
    return 1;
}

int onPrinter(const char* name, pwPrinterInfo* info)
{
    if (!state.printer.present || (name && std::strcmp(name, printerName) != 0)) return 0;
    std::memcpy(info->name, printerName, sizeof printerName);
    info->width = state.printer.width;
    info->height = state.printer.height;
    info->charWidth = state.printer.charWidth;
    info->rowHeight = state.printer.rowHeight;
    info->dpi = 600;
    return 1;
}

// The spooler's failures as configured, and the cancel dialog's button
// pressed after the configured page.
int onSpooler(int step, const pwDocument*)
{
    switch (step) {
    case pwStartDoc:
        state.pagesEnded = 0;
        return state.printer.startDocResult;
    case pwStartPage:
        return state.printer.failStartPage ? -1 : 1;
    case pwEndPage:
        if (state.printer.failEndPage) return -1;
        if (++state.pagesEnded == state.printer.cancelAfterPages && state.printer.cancelAfterPages > 0 &&
            plIsWindow(state.lastDialog)) {
            pwDialogItemInfo item{};
            uint16_t button = IDCANCEL;
            for (int i = 0; pwDialogItem(state.lastDialog, i, &item); ++i) {
                if (item.kind == plDialogButton) {
                    button = item.id;
                    break;
                }
            }
            pwPressDialogButton(state.lastDialog, button);
        }
        return 1;
    default:
        return 1;
    }
}

void onSetClipboard(const char* text, size_t length)
{
    state.clipboardHolds = text != nullptr;
    state.clipboard.assign(text ? text : "", text ? length : 0);
}

int onGetClipboard(const char** text, size_t* length)
{
    if (!state.clipboardHolds) return 0;
    *text = state.clipboard.c_str();
    *length = state.clipboard.size();
    return 1;
}

void onEnding(int fault)
{
    if (state.ending) state.ending(fault);
}

const pwFrontEnd headlessFrontEnd = {
    .wait = onWait,
    .poll = onPoll,
    .windowChanged = onWindowChanged,
    .scrollRows = nullptr,
    .damage = nullptr,
    .caretChanged = nullptr,
    .scrollBarChanged = nullptr,
    .menuChanged = nullptr,
    .frame = nullptr,
    .beep = onBeep,
    .measureFont = onMeasureFont,
    .screen = nullptr,
    .messageBox = onMessageBox,
    .saveDialog = onSaveDialog,
    .printDialog = onPrintDialog,
    .printer = onPrinter,
    .spooler = onSpooler,
    .setClipboard = onSetClipboard,
    .getClipboard = onGetClipboard,
    .fail = failWith,
    .milliseconds = nullptr,
    .ending = onEnding,
};

}  // namespace

// ---------------------------------------------------------------------------
// Set-up.

void hlInstall()
{
    pwInstall(&headlessFrontEnd);
}

void hlReset()
{
    pwReset();
    state = headlessState{};
    hlInstall();
    pwSetFrameInterval(0);
}

void hlSetIdleHandler(hlIdleHandler handler)
{
    state.idle = handler;
}

void hlSetPeekHandler(hlPeekHandler handler)
{
    state.peek = handler;
}

void hlSetFailureHandler(hlFailureHandler handler)
{
    state.failure = handler;
}

void hlSetAnswerHandler(hlAnswerHandler handler)
{
    state.answer = handler;
}

void hlSetEndingHandler(hlEndingHandler handler)
{
    state.ending = handler;
}

void hlQueueBoxAnswer(int answer)
{
    answerRecord a{};
    a.kind = hlAnswerBox;
    a.box = answer;
    state.answers.push_back(a);
}

void hlQueueSaveAnswer(const char* path)
{
    answerRecord a{};
    a.kind = hlAnswerSaveDialog;
    a.cancel = path == nullptr;
    a.path = path ? path : "";
    state.answers.push_back(a);
}

hlPrintAnswer hlPrintOk()
{
    return hlPrintAnswer{1, 0, -1, 0, 0, 0};
}

void hlQueuePrintAnswer(const hlPrintAnswer& answer)
{
    answerRecord a{};
    a.kind = hlAnswerPrintDialog;
    a.print = answer;
    state.answers.push_back(a);
}

int hlQueuedAnswerCount()
{
    return static_cast<int>(state.answers.size());
}

void hlSetClipboardText(const char* text)
{
    onSetClipboard(text, text ? std::strlen(text) : 0);
}

hlPrinterConfig hlDefaultPrinter()
{
    return headlessState{}.printer;
}

void hlSetPrinter(const hlPrinterConfig& printer)
{
    state.printer = printer;
}

const char* hlPrinterName()
{
    return printerName;
}

// ---------------------------------------------------------------------------
// Read-back.

hlCellInfo hlCell(plHwnd window, int row, int column)
{
    int columns = 0;
    pwSurfaceSize(window, nullptr, &columns, nullptr, nullptr);
    const pwCell* cells = pwSurfaceRow(window, row);
    if (!cells || column < 0 || column >= columns) return hlCellInfo{0, plRgb(0, 0, 0), plRgb(255, 255, 255)};
    return hlCellInfo{cells[column].character, cells[column].text, cells[column].background};
}

std::string hlRowText(plHwnd window, int row)
{
    std::string text;
    int columns = 0;
    pwSurfaceSize(window, nullptr, &columns, nullptr, nullptr);
    const pwCell* cells = pwSurfaceRow(window, row);
    for (int column = 0; cells && column < columns; ++column) text += cells[column].character ? cells[column].character : ' ';
    return text;
}

int hlSurfaceRows(plHwnd window)
{
    int rows = 0;
    pwSurfaceSize(window, &rows, nullptr, nullptr, nullptr);
    return rows;
}

int hlSurfaceColumns(plHwnd window)
{
    int columns = 0;
    pwSurfaceSize(window, nullptr, &columns, nullptr, nullptr);
    return columns;
}

int hlSurfaceLineCount(plHwnd window)
{
    return pwSurfaceLineCount(window);
}

hlLine hlSurfaceLine(plHwnd window, int index)
{
    return pwSurfaceLine(window, index);
}

hlCaretInfo hlCaret()
{
    const pwCaretInfo caret = pwCaret();
    if (!caret.owner) return hlCaretInfo{0, nullptr, 0, 0, 0, 0, 0};
    return hlCaretInfo{1, caret.owner, caret.x, caret.y, caret.width, caret.height, caret.shown};
}

hlScrollInfo hlScrollBar(plHwnd window, int bar)
{
    return pwScrollBar(window, bar);
}

std::string hlTitle(plHwnd window)
{
    char title[1024] = "";
    plGetWindowText(window, title, sizeof title);
    return title;
}

int hlClientWidth(plHwnd window)
{
    int width = 0;
    pwClientSize(window, &width, nullptr);
    return width;
}

int hlClientHeight(plHwnd window)
{
    int height = 0;
    pwClientSize(window, nullptr, &height);
    return height;
}

int hlMenuItemState(plHwnd window, uint16_t id)
{
    return plIsWindow(window) ? pwMenuItemState(plGetMenu(window), id) : -1;
}

const char* hlClipboardText()
{
    return state.clipboardHolds ? state.clipboard.c_str() : nullptr;
}

int hlBeepCount()
{
    return state.beeps;
}

int hlBoxCount()
{
    return static_cast<int>(state.boxes.size());
}

const hlBoxRecord* hlBox(int index)
{
    if (index < 0 || index >= static_cast<int>(state.boxes.size())) return nullptr;
    return &state.boxes[static_cast<size_t>(index)];
}

int hlFontRequestCount()
{
    return state.fontRequestCount;
}

hlFontRequest hlLastFontRequest()
{
    return state.lastFontRequest;
}

hlSaveRequest hlLastSaveRequest()
{
    return state.lastSaveRequest;
}

struct plPrintDlg hlLastPrintRequest()
{
    return state.lastPrintRequest;
}

int hlPrintDialogCount()
{
    return state.printDialogCount;
}

plHwnd hlLastDialog()
{
    return state.lastDialog;
}

std::string hlDialogItemText(plHwnd dialog, uint16_t id)
{
    pwDialogItemInfo item{};
    for (int i = 0; pwDialogItem(dialog, i, &item); ++i) {
        if (item.id == id) return item.text;
    }
    return std::string();
}

std::string hlDialogCaption(plHwnd dialog)
{
    return hlTitle(dialog);
}

int hlDocumentCount()
{
    return pwDocumentCount();
}

const hlDocument* hlDocumentAt(int index)
{
    return pwDocumentAt(index);
}
