// Printing: the console's recorded pages go into a PDF document, which goes
// into the chosen file or to the chosen printer.
//
// Everything that needs cups or cairo is in the print module (print.so,
// frontends/print/print_module.h), loaded the first time the print form
// opens or a job runs, so that a run that never prints never maps them.
// Where the module cannot be loaded there is no printer and no PDF file to
// print to: the form says why, and the console goes on as with no printer.
//
// The document is built page by page as the console ends each page, in
// memory; only a document that ran to its end is written or sent.  A file
// is replaced as a whole, so a cancelled or failed job leaves an earlier
// file of that name as it was.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "frontends/modules.h"
#include "frontends/print/print_module.h"
#include "frontends/terminal/internal.h"
#include "runtime/runtime.h"

namespace {

// The module's file name ("" when cairo was not found for this build).
const char printModuleName[] = RASTREL_PRINT_MODULE;

// The console prints in the printer's default font: a fixed cell of 50 x
// 100 device units at 600 dots per inch (12 characters to the inch, 6 rows).
const int printDpi = 600;
const int printCharWidth = 50;
const int printRowHeight = 100;

struct printLoader {
    bool tried = false;
    const printModule* entries = nullptr;
    std::string problem;   // why there is no module
};
printLoader loader;

// The module's entry points, loaded on the first call; null where it is
// missing or unusable (the reason in loader.problem).
const printModule* printing()
{
    if (loader.tried) return loader.entries;
    loader.tried = true;
    if (!printModuleName[0]) {
        loader.problem = "this program was built without cairo.";
        return nullptr;
    }
    const char* reason = "";
    void* handle = openProgramModule(printModuleName, &reason);
    if (!handle) {
        loader.problem = std::string(reason ? reason : "") + ".";
        return nullptr;
    }
    typedef const printModule* (*entryPoint)();
    const entryPoint entry = reinterpret_cast<entryPoint>(dlsym(handle, "rastrelPrintModule"));
    const printModule* entries = entry ? entry() : nullptr;
    if (!entries || entries->size != sizeof(printModule)) {
        loader.problem = std::string(printModuleName) + " is not this program's print module.";
        return nullptr;
    }
    loader.entries = entries;
    return entries;
}

bool isPdfFile(const std::string& destination)
{
    return destination == tmPdfDestination;
}

struct printJob {
    bool open = false;
    bool pdf = false;
    std::string destination;
    std::string path;
};
printJob job;

void closeJob()
{
    if (job.open) printing()->dropDocument();
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
    const printModule* module = printing();
    if (!module) return 0;
    job.pdf = isPdfFile(document->printer);
    job.destination = document->printer;
    job.path = tmS.pdfPath;
    if (job.pdf && (job.path.empty() || !writable(job.path))) return 0;
    if (!module->startDocument(job.destination.c_str(), job.pdf ? 1 : 0)) return 0;
    job.open = true;
    return 1;
}

int endPage(const pwDocument* document)
{
    if (!job.open || document->pages.empty()) return -1;
    return printing()->addPage(document, &document->pages.back());
}

void endDocument(const pwDocument* document)
{
    if (!job.open) return;
    const printModule* module = printing();
    std::string pdf;
    const bool made = module->finishDocument(&pdf) != 0;
    job.open = false;
    if (document->cancelled || document->aborted) {
        closeJob();
        return;
    }
    std::string problem;
    if (!made) {
        problem = "The document could not be made.";
    } else if (job.pdf) {
        if (!rt_replace_file(job.path.c_str(), pdf.data(), pdf.size())) {
            problem = "Could not write " + job.path + ".";
        }
    } else {
        std::string error;
        if (!module->submitDocument(job.destination.c_str(), document->name.c_str(), pdf, &error)) {
            problem = "Could not send the document to " + job.destination + ": " + error;
        }
    }
    closeJob();
    if (!problem.empty()) tmRunBox("Print", problem.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

const char* tmPrintingProblem()
{
    return printing() ? nullptr : loader.problem.c_str();
}

std::vector<tmPrinterEntry> tmListPrinters()
{
    std::vector<tmPrinterEntry> printers;
    if (const printModule* module = printing()) {
        for (const printDestination& destination : module->destinations()) {
            printers.push_back(tmPrinterEntry{destination.name, destination.isDefault});
        }
    }
    return printers;
}

int tmPrinter(const char* name, pwPrinterInfo* info)
{
    // There is no default printer to fall back on: the print form names
    // the destination, and without one the console says there is none.
    // Without the print module no destination exists.
    if (!name || !*name) return 0;
    const printModule* module = printing();
    if (!module) return 0;
    std::strncpy(info->name, name, sizeof info->name - 1);
    info->name[sizeof info->name - 1] = '\0';
    info->dpi = printDpi;
    module->printableArea(name, isPdfFile(name) ? 1 : 0, printDpi, &info->width, &info->height);
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
