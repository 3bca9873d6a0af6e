// The system's printers through CUPS: the destinations it lists, the paper
// each one uses, and jobs sent to them as PDF documents (CUPS converts them
// for the printer).
#include <cups/cups.h>

#include "frontends/terminal/internal.h"

namespace {
const double pointsPerHundredthMm = 72.0 / 2540.0;
}

std::vector<tmPrinterEntry> tmListPrinters()
{
    std::vector<tmPrinterEntry> printers;
    cups_dest_t* destinations = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &destinations);
    for (int i = 0; i < count; ++i) {
        if (destinations[i].instance) continue;
        printers.push_back(tmPrinterEntry{destinations[i].name, destinations[i].is_default});
    }
    cupsFreeDests(count, destinations);
    return printers;
}

int tmPrinterPaper(const char* name, double* width, double* height, double margins[4])
{
    cups_dest_t* destination = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name, nullptr);
    if (!destination) return 0;
    int found = 0;
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, destination)) {
        cups_size_t size{};
        if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, destination, info, 0, &size) && size.width > 0 &&
            size.length > 0) {
            *width = size.width * pointsPerHundredthMm;
            *height = size.length * pointsPerHundredthMm;
            margins[0] = size.left * pointsPerHundredthMm;
            margins[1] = size.top * pointsPerHundredthMm;
            margins[2] = size.right * pointsPerHundredthMm;
            margins[3] = size.bottom * pointsPerHundredthMm;
            found = 1;
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, destination);
    return found;
}

int tmSubmitPdf(const char* printer, const char* title, const std::string& pdf, std::string* error)
{
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer, title, 0, nullptr);
    if (job == 0) {
        *error = cupsLastErrorString();
        return 0;
    }
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, printer, job, title, CUPS_FORMAT_PDF, 1) != HTTP_STATUS_CONTINUE ||
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE ||
        cupsFinishDocument(CUPS_HTTP_DEFAULT, printer) != IPP_STATUS_OK) {
        *error = cupsLastErrorString();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, printer, job, 0);
        return 0;
    }
    return 1;
}
