// Printing the transcript: the print dialog, the page layout with its header
// and rule, copies and page ranges, the cancel dialog that keeps the job
// interruptible, and the fallback to the default printer.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/console.h"

namespace {

const char appCaption[] = "Vellomex";
const char documentName[] = "Vellomex.out";

enum { rowBufferSize = 256 };

// The sizes the print dialog's and the spooler's records give themselves,
// and the rows the page header takes (its text and the rule).
enum { printDlgRecordSize = 66, docInfoRecordSize = 20, headerRows = 2 };

// Job state: one print job at a time.
struct plPrintDlg printRequest;   // the type shares its name with the dialog call
int printCancelled;
plHwnd cancelDialog;
char rowBuffer[rowBufferSize];

// The page geometry of the current job, in device units.
struct PageLayout {
    int32_t rowHeight;
    int32_t charWidth;
    int32_t charsPerRow;
    int32_t linesPerPage;
};

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Assembles the row that starts at position and returns where the next row
// starts.  A row ends at a CR or LF, at the end of the text, or when it holds
// charsPerRow characters; up to two following line-end bytes are stepped
// over, so a CR LF pair ends one row.  When dc is set, the row's characters
// are drawn at height y, in pieces of at most the row buffer's size.
const char* assembleRow(const char* position, const char* end, const PageLayout& layout, plHdc dc, int y)
{
    int32_t column = 0;
    int32_t held = 0;
    while (position < end && !isLineEnd(*position) && column < layout.charsPerRow) {
        rowBuffer[held++] = *position++;
        ++column;
        if (held == rowBufferSize) {
            if (dc != nullptr) {
                plTextOut(dc, (column - held) * layout.charWidth, y, rowBuffer, held);
            }
            held = 0;
        }
    }
    if (held > 0 && dc != nullptr) {
        plTextOut(dc, (column - held) * layout.charWidth, y, rowBuffer, held);
    }
    for (int stepped = 0; stepped < 2 && position < end && isLineEnd(*position); ++stepped) {
        ++position;
    }
    return position;
}

// Number of rows the whole transcript takes on paper.
int64_t countPaperRows(const char* start, const char* end, const PageLayout& layout)
{
    int64_t rows = 0;
    for (const char* p = start; p < end;) {
        p = assembleRow(p, end, layout, nullptr, 0);
        ++rows;
    }
    return rows;
}

// The header: the title on the left, "Page n" ending at the last column, and
// a rule beneath them.
void drawHeader(plHdc dc, const char* title, int page, const PageLayout& layout)
{
    int pageLength = std::snprintf(rowBuffer, sizeof rowBuffer, "Page %i", page);
    int pageColumn = layout.charsPerRow - pageLength;
    if (pageColumn < 0) {
        pageColumn = 0;
    }
    const char* text = title != nullptr && title[0] != '\0' ? title : documentName;
    int titleLength = static_cast<int>(strnlen(text, 259));
    // A long title stops one column short of the page number.
    if (titleLength > pageColumn - 1) {
        titleLength = pageColumn - 1 > 0 ? pageColumn - 1 : 0;
    }
    if (titleLength > 0) {
        plTextOut(dc, 0, 0, text, titleLength);
    }
    plTextOut(dc, pageColumn * layout.charWidth, 0, rowBuffer, pageLength);
    plMoveToEx(dc, 0, layout.rowHeight, nullptr);
    plLineTo(dc, layout.charsPerRow * layout.charWidth, layout.rowHeight);
}

// While a job runs its owner is disabled, the cancel dialog is up and the
// printer's context is open.  The job's pump may handle a Ctrl+C typed
// before Print, whose return point unwinds through the job; however the job
// is left, the owner is enabled again, the dialog goes and the context is
// deleted (which abandons a document still open).
struct runningJob {
    plHwnd owner;
    plHdc dc;
    ~runningJob()
    {
        plEnableWindow(owner, 1);
        if (cancelDialog != nullptr) {
            plDestroyWindow(cancelDialog);
            cancelDialog = nullptr;
        }
        plDeleteDC(dc);
    }
};

}  // namespace

int printTranscript(plHinstance instance, plHwnd owner, const char* title, ConsoleStateRecord state)
{
    std::memset(&printRequest, 0, sizeof printRequest);
    printRequest.structSize = printDlgRecordSize;
    printRequest.owner = owner;
    printRequest.flags = PD_RETURNDC | PD_COLLATE | PD_NOSELECTION;
    printRequest.fromPage = 1;
    printRequest.toPage = 65535;
    printRequest.minPage = 1;
    printRequest.maxPage = 65535;
    printRequest.copies = 1;
    if (!plPrintDlg(&printRequest)) {
        return 1;
    }

    plHdc dc = printRequest.hdc;
    if (dc == nullptr) {
        dc = openDefaultPrinter(owner);
    }
    const char* start = state.textStart;
    const char* end = state.textEnd;
    if (start == nullptr || end <= start) {
        plMessageBox(owner, "nothing to print", appCaption, warningBox);
        if (dc != nullptr) {
            plDeleteDC(dc);
        }
        return 1;
    }
    if (dc == nullptr) {
        return 0;
    }

    // Geometry from the device's default font.  A device too narrow for one
    // character or too short for a body row cannot print the transcript.
    plTextMetric metrics;
    std::memset(&metrics, 0, sizeof metrics);
    plGetTextMetrics(dc, &metrics);
    PageLayout layout;
    layout.rowHeight = metrics.height + metrics.externalLeading;
    layout.charWidth = metrics.aveCharWidth;
    const int width = plGetDeviceCaps(dc, HORZRES);
    const int height = plGetDeviceCaps(dc, VERTRES);
    if (layout.rowHeight <= 0 || layout.charWidth <= 0 || width <= 0 || height <= 0) {
        plDeleteDC(dc);
        return 0;
    }
    layout.charsPerRow = width / layout.charWidth;
    layout.linesPerPage = height / layout.rowHeight - headerRows;
    if (layout.charsPerRow < 1 || layout.linesPerPage < 1) {
        plDeleteDC(dc);
        return 0;
    }

    // Every row the text takes on paper is printed, however it wraps.
    const int64_t rowCount = countPaperRows(start, end, layout);
    const int64_t pageCount = (rowCount + layout.linesPerPage - 1) / layout.linesPerPage;

    plEnableWindow(owner, 0);
    const runningJob job = {owner, dc};
    printCancelled = 0;

    int64_t firstPage = 1;
    int64_t lastPage = pageCount;
    if (printRequest.flags & PD_PAGENUMS) {
        firstPage = printRequest.fromPage;
        lastPage = printRequest.toPage;
        if (firstPage > lastPage) {
            const int64_t swap = firstPage;
            firstPage = lastPage;
            lastPage = swap;
        }
    }
    const int copies = printRequest.copies > 0 ? printRequest.copies : 1;
    const int collate = (printRequest.flags & PD_COLLATE) != 0;
    const int passes = collate ? copies : 1;
    const int copiesPerPage = collate ? 1 : copies;

    cancelDialog = plCreateDialogParam(instance, "PrintDlgBox", owner, printCancelProc, 0);
    if (cancelDialog != nullptr) {
        plSetDlgItemText(cancelDialog, cancelTitleItem, title != nullptr ? title : "");
    }
    plSetAbortProc(dc, printAbortProc);

    plDocInfo document;
    document.size = docInfoRecordSize;
    document.docName = documentName;
    document.output = nullptr;
    document.datatype = nullptr;
    document.type = 0;
    int failed = plStartDoc(dc, &document) <= 0;

    int stop = failed;
    for (int pass = 0; pass < passes && !stop; ++pass) {
        const char* position = start;
        for (int64_t page = 1; page <= lastPage && !stop; ++page) {
            const int64_t firstRow = (page - 1) * layout.linesPerPage;
            const int output = page >= firstPage;
            const char* pageStart = position;
            for (int copy = 0; copy < (output ? copiesPerPage : 1) && !stop; ++copy) {
                position = pageStart;
                plHdc target = output ? dc : nullptr;
                if (output) {
                    if (plStartPage(dc) < 0) {
                        failed = stop = 1;
                        break;
                    }
                    drawHeader(dc, title, static_cast<int>(page), layout);
                }
                for (int32_t row = 0; row < layout.linesPerPage && firstRow + row < rowCount; ++row) {
                    position = assembleRow(position, end, layout, target, (row + headerRows) * layout.rowHeight);
                }
                if (output && plEndPage(dc) < 0) {
                    failed = stop = 1;
                    break;
                }
                if (printCancelled) {
                    stop = 1;
                }
            }
        }
    }

    if (!failed) {
        plEndDoc(dc);
    }
    return !failed && !printCancelled;
}

intptr_t printCancelProc(plHwnd dialog, uint32_t message, plWparam, plLparam)
{
    switch (message) {
    case WM_INITDIALOG:
        plEnableMenuItem(plGetSystemMenu(dialog, 0), SC_CLOSE, MF_GRAYED);
        return 1;
    case WM_COMMAND:
        printCancelled = 1;
        plEnableWindow(plGetParent(dialog), 1);
        plDestroyWindow(dialog);
        cancelDialog = nullptr;
        return 1;
    default:
        return 0;
    }
}

int printAbortProc(plHdc, int)
{
    // The quit message is left for the loop that waits for it.
    messagePump whilePrinting = {};
    whilePrinting.repostQuit = 1;
    whilePrinting.dialog = &cancelDialog;
    whilePrinting.until = &printCancelled;
    runMessagePump(whilePrinting);
    return !printCancelled;
}

plHdc openDefaultPrinter(plHwnd owner)
{
    uint32_t flags = PRINTER_ENUM_LOCAL;
    uint32_t level = 4;
    if (plGetVersion() & 0x80000000u) {
        flags = PRINTER_ENUM_DEFAULT;
        level = 5;
    }
    uint32_t needed = 0;
    uint32_t returned = 0;
    plEnumPrinters(flags, nullptr, level, nullptr, 0, &needed, &returned);
    void* buffer = needed > 0 ? std::calloc(1, needed) : nullptr;
    returned = 0;
    if (buffer == nullptr || !plEnumPrinters(flags, nullptr, level, buffer, needed, &needed, &returned) ||
        returned == 0) {
        std::free(buffer);
        plMessageBox(owner, "Default printer not found", appCaption, warningBox);
        return nullptr;
    }
    const char* name = level == 5 ? static_cast<plPrinterInfo5*>(buffer)->printerName
                                  : static_cast<plPrinterInfo4*>(buffer)->printerName;
    plHdc dc = plCreateDC(nullptr, name, nullptr, nullptr);
    std::free(buffer);
    return dc;
}
