// The virtual printer: enumeration, printer device contexts, documents and
// pages.  Every document records its name and every page its text items and
// lines, for the front end to read back.
//
// As a spooler does, starting and ending a page call the context's abort
// procedure first; once it has returned FALSE every later page call fails.
// Failures of StartDoc, StartPage and EndPage can be injected, and the front
// end can have the cancel dialog's button pressed after a document's Nth page.
#include <cstring>

#include "platform/portable.h"

namespace ws {

std::vector<hlDocument> documents;
static const char printerName[] = "Headless Printer";
static const char portName[] = "HEADLESS:";

enum : int { spError = -1, spAppAbort = -2 };
enum : uint32_t { printerAttributeDefault = 0x4, printerAttributeLocal = 0x40, errorInvalidLevel = 124 };

static bool inAbortProc = false;

static hlPage* currentPage(Dc& dc)
{
    if (dc.document < 0 || !dc.pageOpen || dc.document >= static_cast<int>(documents.size())) return nullptr;
    hlDocument& document = documents[static_cast<size_t>(dc.document)];
    return document.pages.empty() ? nullptr : &document.pages.back();
}

void printerText(Dc& dc, int x, int y, const char* text, int count)
{
    hlPage* page = currentPage(dc);
    if (page) page->texts.push_back(hlTextItem{x, y, std::string(text, static_cast<size_t>(count))});
}

void printerLine(Dc& dc, int x1, int y1, int x2, int y2)
{
    hlPage* page = currentPage(dc);
    if (page) page->lines.push_back(hlLine{x1, y1, x2, y2});
}

void printerDcDeleted(Dc& dc)
{
    if (dc.document >= 0 && dc.document < static_cast<int>(documents.size())) {
        documents[static_cast<size_t>(dc.document)].aborted = 1;
    }
    dc.document = -1;
}

void resetPrinters()
{
    documents.clear();
    inAbortProc = false;
}

// Lets the abort procedure run, as the spooler does while it works; true
// while the job may go on.  The context is looked up again afterwards because
// the procedure dispatches messages.
static bool spoolerContinues(plHdc handle)
{
    Dc* dc = dcOf(handle);
    if (!dc) return false;
    if (dc->cancelled) return false;
    if (dc->abortProc && !inAbortProc) {
        plAbortProc proc = dc->abortProc;
        int goOn = 0;
        {
            FlagGuard guard(inAbortProc);
            goOn = proc(handle, 0);
        }
        dc = dcOf(handle);
        if (!dc) return false;
        if (!goOn) {
            dc->cancelled = true;
            if (dc->document >= 0) documents[static_cast<size_t>(dc->document)].cancelled = 1;
        }
    }
    return !dc->cancelled;
}

}  // namespace ws

using namespace ws;

const char* hlPrinterName()
{
    return printerName;
}

int plEnumPrinters(uint32_t, const char*, uint32_t level, void* buffer, uint32_t size, uint32_t* needed,
                   uint32_t* returned)
{
    if (returned) *returned = 0;
    if (level != 4 && level != 5) {
        lastError = errorInvalidLevel;
        return 0;
    }
    uint32_t count = frontEnd.printer.present ? 1 : 0;
    size_t structSize = level == 4 ? sizeof(plPrinterInfo4) : sizeof(plPrinterInfo5);
    size_t stringBytes = sizeof printerName + (level == 5 ? sizeof portName : 0);
    size_t need = count ? structSize + stringBytes : 0;
    if (needed) *needed = static_cast<uint32_t>(need);
    if (need > size || (need > 0 && !buffer)) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    if (count) {
        char* strings = static_cast<char*>(buffer) + structSize;
        std::memcpy(strings, printerName, sizeof printerName);
        if (level == 4) {
            plPrinterInfo4 info{strings, nullptr, printerAttributeDefault | printerAttributeLocal};
            std::memcpy(buffer, &info, sizeof info);
        } else {
            char* port = strings + sizeof printerName;
            std::memcpy(port, portName, sizeof portName);
            plPrinterInfo5 info{strings, port, printerAttributeDefault | printerAttributeLocal, 15000, 45000};
            std::memcpy(buffer, &info, sizeof info);
        }
    }
    if (returned) *returned = count;
    return 1;
}

plHdc plCreateDC(const char*, const char* device, const char*, const void*)
{
    if (!device || !frontEnd.printer.present || std::strcmp(device, printerName) != 0) {
        lastError = 1801;   // invalid printer name
        return nullptr;
    }
    return createPrinterDc();
}

int plSetAbortProc(plHdc dc, plAbortProc proc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter) return spError;
    d->abortProc = proc;
    return 1;
}

int plStartDoc(plHdc dc, const plDocInfo* info)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document >= 0) return spError;
    if (frontEnd.printer.startDocResult != 1) return frontEnd.printer.startDocResult;
    hlDocument document{};
    document.name = info && info->docName ? info->docName : "";
    documents.push_back(document);
    d->document = static_cast<int>(documents.size()) - 1;
    d->pageOpen = false;
    d->cancelled = false;
    d->pagesEnded = 0;
    return static_cast<int>(documents.size());
}

int plStartPage(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document < 0 || d->pageOpen) return spError;
    if (!spoolerContinues(dc)) return spAppAbort;
    d = dcOf(dc);
    if (!d || d->document < 0 || frontEnd.printer.failStartPage) return spError;
    documents[static_cast<size_t>(d->document)].pages.push_back(hlPage{});
    d->pageOpen = true;
    return 1;
}

int plEndPage(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document < 0 || !d->pageOpen) return spError;
    if (!spoolerContinues(dc)) return spAppAbort;
    d = dcOf(dc);
    if (!d || d->document < 0 || frontEnd.printer.failEndPage) return spError;
    documents[static_cast<size_t>(d->document)].pages.back().ended = 1;
    d->pageOpen = false;
    ++d->pagesEnded;
    if (frontEnd.printer.cancelAfterPages > 0 && d->pagesEnded == frontEnd.printer.cancelAfterPages) {
        plHwnd dialog = lastDialog;
        if (windowOf(dialog)) {
            plHwnd button = firstButton(dialog);
            Window* b = windowOf(button);
            unsigned id = b ? b->controlId : static_cast<unsigned>(IDCANCEL);
            plPostMessage(dialog, WM_COMMAND, static_cast<plWparam>(plMakeLong(id, 0)),
                          reinterpret_cast<plLparam>(button));
        }
    }
    return 1;
}

int plEndDoc(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document < 0) return spError;
    hlDocument& document = documents[static_cast<size_t>(d->document)];
    if (d->pageOpen) document.pages.back().ended = 1;
    document.ended = 1;
    d->document = -1;
    d->pageOpen = false;
    return 1;
}
