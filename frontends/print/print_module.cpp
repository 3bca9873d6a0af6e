// The print module's entry points: the sheet each destination prints on,
// and the document, rendered page by page with cairo into a PDF in memory.
#include <cairo-pdf.h>

#include <cstring>

#include "frontends/print/destinations.h"
#include "frontends/print/page_replay.h"
#include "frontends/print/paper.h"
#include "frontends/print/print_module.h"

namespace {

const double pointsPerInch = 72.0;
const double pdfMargin = 36.0;   // half an inch all round
const int fallbackDpi = 600;

struct pdfDocument {
    bool open = false;
    std::string data;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    double left = 0, top = 0;   // the printable area's corner on the sheet, in points
};
pdfDocument document;

// The sheet a destination prints on: a printer's default paper and its
// printable area; the locale's paper where the printer says nothing; the
// PDF file is the locale's paper with half-inch margins.
printSheet sheetFor(const char* destination, int pdfFile)
{
    printSheet sheet{};
    if (!pdfFile && destinationPaper(destination, &sheet.width, &sheet.height, sheet.margins)) return sheet;
    localePaper(&sheet.width, &sheet.height);
    for (double& margin : sheet.margins) margin = pdfFile ? pdfMargin : leastMargin;
    return sheet;
}

void printableAreaOf(const char* destination, int pdfFile, int dpi, int* width, int* height)
{
    printableArea(sheetFor(destination, pdfFile), dpi, width, height);
}

cairo_status_t appendBytes(void* closure, const unsigned char* bytes, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(bytes), length);
    return CAIRO_STATUS_SUCCESS;
}

void dropDocument()
{
    if (document.cr) cairo_destroy(document.cr);
    if (document.surface) cairo_surface_destroy(document.surface);
    document = pdfDocument{};
}

int startDocument(const char* destination, int pdfFile)
{
    dropDocument();
    const printSheet sheet = sheetFor(destination, pdfFile);
    document.left = sheet.margins[0];
    document.top = sheet.margins[1];
    document.surface = cairo_pdf_surface_create_for_stream(appendBytes, &document.data, sheet.width, sheet.height);
    document.cr = cairo_create(document.surface);
    if (cairo_status(document.cr) != CAIRO_STATUS_SUCCESS) {
        dropDocument();
        return 0;
    }
    document.open = true;
    return 1;
}

int addPage(const pwDocument* recorded, const pwPage* page)
{
    if (!document.open) return -1;
    cairo_t* cr = document.cr;
    cairo_save(cr);
    cairo_translate(cr, document.left, document.top);
    const double dpi = recorded->page.dpi > 0 ? recorded->page.dpi : fallbackDpi;
    cairo_scale(cr, pointsPerInch / dpi, pointsPerInch / dpi);
    replayPage(cr, *recorded, *page);
    cairo_restore(cr);
    cairo_show_page(cr);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS ? 1 : -1;
}

int finishDocument(std::string* pdf)
{
    if (!document.open) return 0;
    cairo_destroy(document.cr);
    document.cr = nullptr;
    cairo_surface_finish(document.surface);
    const bool made = cairo_surface_status(document.surface) == CAIRO_STATUS_SUCCESS;
    if (made) pdf->swap(document.data);
    dropDocument();
    return made ? 1 : 0;
}

const printModule entries = {
    .size = sizeof(printModule),
    .destinations = listDestinations,
    .printableArea = printableAreaOf,
    .startDocument = startDocument,
    .addPage = addPage,
    .finishDocument = finishDocument,
    .dropDocument = dropDocument,
    .submitDocument = submitPdf,
};

}  // namespace

extern "C" [[gnu::visibility("default")]] const printModule* rastrelPrintModule()
{
    return &entries;
}
