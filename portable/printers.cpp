// Printers: enumeration, printer device contexts, documents and pages.  Every
// document records its name and every page its text items and lines, at
// their device positions; the front end is told each step of a document and
// prints it when it is finished.
//
// As a spooler does, starting and ending a page call the context's abort
// procedure first; once it has returned FALSE every later page call fails.
#include <cstring>

#include "portable/internal.h"

namespace ws {

static std::vector<pwDocument> documents;
static const char portName[] = "PORTABLE:";

enum : int { spError = -1, spAppAbort = -2 };
enum : uint32_t { printerAttributeDefault = 0x4, printerAttributeLocal = 0x40, errorInvalidLevel = 124 };

static bool inAbortProc = false;

static pwDocument* documentOf(const Dc& dc)
{
    if (dc.document < 0 || dc.document >= static_cast<int>(documents.size())) return nullptr;
    return &documents[static_cast<size_t>(dc.document)];
}

static pwPage* currentPage(Dc& dc)
{
    pwDocument* document = documentOf(dc);
    if (!document || !dc.pageOpen || document->pages.empty()) return nullptr;
    return &document->pages.back();
}

// Tells the front end a step of the context's document; 1 when it may go on,
// otherwise what the call is to return.
static int spoolerStep(const Dc& dc, pwSpoolerStep step)
{
    const pwDocument* document = documentOf(dc);
    if (!hooks.spooler || !document) return 1;
    return hooks.spooler(step, document);
}

void printerText(Dc& dc, int x, int y, const char* text, int count)
{
    pwPage* page = currentPage(dc);
    if (page) page->texts.push_back(pwTextItem{x, y, std::string(text, static_cast<size_t>(count))});
}

void printerLine(Dc& dc, int x1, int y1, int x2, int y2)
{
    pwPage* page = currentPage(dc);
    if (page) page->lines.push_back(pwLine{x1, y1, x2, y2});
}

void printerDcDeleted(Dc& dc)
{
    pwDocument* document = documentOf(dc);
    if (document) {
        document->aborted = 1;
        spoolerStep(dc, pwAbortDoc);
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
            if (pwDocument* document = documentOf(*dc)) document->cancelled = 1;
        }
    }
    return !dc->cancelled;
}

}  // namespace ws

using namespace ws;

int pwDocumentCount()
{
    return static_cast<int>(documents.size());
}

const pwDocument* pwDocumentAt(int index)
{
    if (index < 0 || index >= static_cast<int>(documents.size())) return nullptr;
    return &documents[static_cast<size_t>(index)];
}

// The default printer is the only one enumerated.
int plEnumPrinters(uint32_t, const char*, uint32_t level, void* buffer, uint32_t size, uint32_t* needed,
                   uint32_t* returned)
{
    if (returned) *returned = 0;
    if (level != 4 && level != 5) {
        lastError = errorInvalidLevel;
        return 0;
    }
    pwPrinterInfo printer{};
    uint32_t count = printerInfo(nullptr, &printer) ? 1 : 0;
    const size_t nameBytes = std::strlen(printer.name) + 1;
    size_t structSize = level == 4 ? sizeof(plPrinterInfo4) : sizeof(plPrinterInfo5);
    size_t stringBytes = nameBytes + (level == 5 ? sizeof portName : 0);
    size_t need = count ? structSize + stringBytes : 0;
    if (needed) *needed = static_cast<uint32_t>(need);
    if (need > size || (need > 0 && !buffer)) {
        lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    if (count) {
        char* strings = static_cast<char*>(buffer) + structSize;
        std::memcpy(strings, printer.name, nameBytes);
        if (level == 4) {
            plPrinterInfo4 info{strings, nullptr, printerAttributeDefault | printerAttributeLocal};
            std::memcpy(buffer, &info, sizeof info);
        } else {
            char* port = strings + nameBytes;
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
    pwPrinterInfo printer{};
    if (!device || !printerInfo(device, &printer)) {
        lastError = 1801;   // invalid printer name
        return nullptr;
    }
    return createPrinterDc(printer);
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
    pwDocument document{};
    document.name = info && info->docName ? info->docName : "";
    document.printer = d->printer.name;
    document.page = d->printer;
    documents.push_back(document);
    d->document = static_cast<int>(documents.size()) - 1;
    d->pageOpen = false;
    d->cancelled = false;
    d->pagesEnded = 0;
    const int result = spoolerStep(*d, pwStartDoc);
    if (result != 1) {
        // The spooler refused the job: it never began.
        documents.pop_back();
        d->document = -1;
        return result;
    }
    return static_cast<int>(documents.size());
}

int plStartPage(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document < 0 || d->pageOpen) return spError;
    if (!spoolerContinues(dc)) return spAppAbort;
    d = dcOf(dc);
    if (!d || d->document < 0 || spoolerStep(*d, pwStartPage) != 1) return spError;
    documentOf(*d)->pages.push_back(pwPage{});
    d->pageOpen = true;
    return 1;
}

int plEndPage(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document < 0 || !d->pageOpen) return spError;
    if (!spoolerContinues(dc)) return spAppAbort;
    d = dcOf(dc);
    if (!d || d->document < 0 || spoolerStep(*d, pwEndPage) != 1) return spError;
    documentOf(*d)->pages.back().ended = 1;
    d->pageOpen = false;
    ++d->pagesEnded;
    return 1;
}

int plEndDoc(plHdc dc)
{
    Dc* d = dcOf(dc);
    if (!d || d->kind != dcPrinter || d->document < 0) return spError;
    pwDocument* document = documentOf(*d);
    if (d->pageOpen) document->pages.back().ended = 1;
    document->ended = 1;
    spoolerStep(*d, pwEndDoc);
    d = dcOf(dc);
    if (d) {
        d->document = -1;
        d->pageOpen = false;
    }
    return 1;
}
