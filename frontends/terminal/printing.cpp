// Printing: the console's recorded pages rendered with cairo into a PDF
// document, which goes into the chosen file or to the chosen printer.
//
// The document is built page by page as the console ends each page, in
// memory; only a document that ran to its end is written or sent.  A file
// is replaced as a whole, so a cancelled or failed job leaves an earlier
// file of that name as it was.
#include <sys/stat.h>
#include <unistd.h>

#include <cairo-pdf.h>
#include <cstring>
#include <string>

#include "frontends/print/page_replay.h"
#include "frontends/print/paper.h"
#include "frontends/terminal/internal.h"
#include "runtime/runtime.h"

namespace {

// The console prints in the printer's default font: a fixed cell of 50 x
// 100 device units at 600 dots per inch (12 characters to the inch, 6 rows).
const int printDpi = 600;
const int printCharWidth = 50;
const int printRowHeight = 100;
const double pointsPerInch = 72.0;
const double pdfMargin = 36.0;   // half an inch all round

struct printJob {
    bool open = false;
    bool pdf = false;
    std::string destination;
    std::string path;
    std::string data;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    double left = 0, top = 0;   // the printable area's corner on the sheet, in points
};
printJob job;

cairo_status_t appendBytes(void* closure, const unsigned char* bytes, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(bytes), length);
    return CAIRO_STATUS_SUCCESS;
}

// The sheet a destination prints on: a printer's default paper and its
// printable area; the locale's paper where the printer says nothing; the
// "PDF file" destination writes the locale's paper with half-inch margins.
printSheet sheetFor(const char* name)
{
    printSheet sheet{};
    if (std::strcmp(name, tmPdfDestination) != 0 &&
        tmPrinterPaper(name, &sheet.width, &sheet.height, sheet.margins)) {
        return sheet;
    }
    localePaper(&sheet.width, &sheet.height);
    const bool pdf = std::strcmp(name, tmPdfDestination) == 0;
    for (double& margin : sheet.margins) margin = pdf ? pdfMargin : leastMargin;
    return sheet;
}

void closeJob()
{
    if (job.cr) cairo_destroy(job.cr);
    if (job.surface) cairo_surface_destroy(job.surface);
    job = printJob{};
}

// A file that may be written: its folder exists and takes files, and it is
// not a folder itself.
bool writable(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat info{};
    if (stat(path.c_str(), &info) == 0) return !S_ISDIR(info.st_mode) && access(path.c_str(), W_OK) == 0;
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

int startDocument(const pwDocument* document)
{
    closeJob();
    job.pdf = document->printer == tmPdfDestination;
    job.destination = document->printer;
    job.path = tmS.pdfPath;
    if (job.pdf && (job.path.empty() || !writable(job.path))) return 0;
    const printSheet sheet = sheetFor(document->printer.c_str());
    job.left = sheet.margins[0];
    job.top = sheet.margins[1];
    job.surface = cairo_pdf_surface_create_for_stream(appendBytes, &job.data, sheet.width, sheet.height);
    job.cr = cairo_create(job.surface);
    if (cairo_status(job.cr) != CAIRO_STATUS_SUCCESS) {
        closeJob();
        return 0;
    }
    job.open = true;
    return 1;
}

int endPage(const pwDocument* document)
{
    if (!job.open || document->pages.empty()) return -1;
    cairo_t* cr = job.cr;
    cairo_save(cr);
    cairo_translate(cr, job.left, job.top);
    const double dpi = document->page.dpi > 0 ? document->page.dpi : printDpi;
    cairo_scale(cr, pointsPerInch / dpi, pointsPerInch / dpi);
    replayPage(cr, *document, document->pages.back());
    cairo_restore(cr);
    cairo_show_page(cr);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS ? 1 : -1;
}

void endDocument(const pwDocument* document)
{
    if (!job.open) return;
    cairo_destroy(job.cr);
    job.cr = nullptr;
    cairo_surface_finish(job.surface);
    const bool made = cairo_surface_status(job.surface) == CAIRO_STATUS_SUCCESS;
    if (document->cancelled || document->aborted) {
        closeJob();
        return;
    }
    std::string problem;
    if (!made) {
        problem = "The document could not be made.";
    } else if (job.pdf) {
        if (!rt_replace_file(job.path.c_str(), job.data.data(), job.data.size())) {
            problem = "Could not write " + job.path + ".";
        }
    } else {
        std::string error;
        if (!tmSubmitPdf(job.destination.c_str(), document->name.c_str(), job.data, &error)) {
            problem = "Could not send the document to " + job.destination + ": " + error;
        }
    }
    closeJob();
    if (!problem.empty()) tmRunBox("Print", problem.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int tmPrinter(const char* name, pwPrinterInfo* info)
{
    // There is no default printer to fall back on: the print form names
    // the destination, and without one the console says there is none.
    if (!name || !*name) return 0;
    const printSheet sheet = sheetFor(name);
    std::strncpy(info->name, name, sizeof info->name - 1);
    info->name[sizeof info->name - 1] = '\0';
    info->dpi = printDpi;
    printableArea(sheet, printDpi, &info->width, &info->height);
    info->charWidth = printCharWidth;
    info->rowHeight = printRowHeight;
    return 1;
}

int tmSpooler(int step, const pwDocument* document)
{
    switch (step) {
    case pwStartDoc:
        tmS.printingPage = 0;
        return startDocument(document);
    case pwStartPage:
        ++tmS.printingPage;
        tmDrawFrame();
        return 1;
    case pwEndPage:
        return endPage(document);
    case pwEndDoc:
        endDocument(document);
        return 1;
    case pwAbortDoc:
        closeJob();
        return 1;
    default:
        return 1;
    }
}
