// The system's printers through CUPS: the destinations it lists (its
// default first), the paper each one uses, and jobs sent to them as PDF
// documents (CUPS converts them for the printer).
//
// A destination's paper is the one its user chose for it (lpoptions'
// media or PageSize), else its default media collection (media-col-default:
// size and the printer's margins), else its default media (media-default,
// a PPD's DefaultPageSize), looked up among the sizes it supports for its
// margins.  A side with no margin gets a quarter of an inch.
#include <cups/cups.h>

#include <algorithm>
#include <cstring>

#include "frontends/print/destinations.h"
#include "frontends/print/paper.h"

namespace {

const double pointsPerHundredthMm = 72.0 / 2540.0;

struct queuePaper {
    std::string media;   // the size's name for the job ("" when unknown)
    printSheet sheet;
};

void sheetFromSize(int width, int length, const int margins[4], printSheet* sheet)
{
    sheet->width = width * pointsPerHundredthMm;
    sheet->height = length * pointsPerHundredthMm;
    for (int i = 0; i < 4; ++i) sheet->margins[i] = margins[i] * pointsPerHundredthMm;
}

// A media collection's size and margins (hundredths of a millimetre).
bool sheetFromCollection(ipp_t* collection, printSheet* sheet)
{
    ipp_attribute_t* size = ippFindAttribute(collection, "media-size", IPP_TAG_BEGIN_COLLECTION);
    ipp_t* dimensions = size ? ippGetCollection(size, 0) : nullptr;
    ipp_attribute_t* x = dimensions ? ippFindAttribute(dimensions, "x-dimension", IPP_TAG_INTEGER) : nullptr;
    ipp_attribute_t* y = dimensions ? ippFindAttribute(dimensions, "y-dimension", IPP_TAG_INTEGER) : nullptr;
    if (!x || !y || ippGetInteger(x, 0) <= 0 || ippGetInteger(y, 0) <= 0) return false;
    static const char* const names[4] = {"media-left-margin", "media-top-margin", "media-right-margin",
                                         "media-bottom-margin"};
    int margins[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        if (ipp_attribute_t* margin = ippFindAttribute(collection, names[i], IPP_TAG_INTEGER)) {
            margins[i] = ippGetInteger(margin, 0);
        }
    }
    sheetFromSize(ippGetInteger(x, 0), ippGetInteger(y, 0), margins, sheet);
    return true;
}

// A size named by the user or the destination: the destination's own entry
// for it (with its margins), else the size the name stands for.
bool sheetFromName(cups_dest_t* destination, cups_dinfo_t* info, const char* name, queuePaper* paper)
{
    cups_size_t size{};
    if (cupsGetDestMediaByName(CUPS_HTTP_DEFAULT, destination, info, name, CUPS_MEDIA_FLAGS_DEFAULT, &size) &&
        size.width > 0 && size.length > 0) {
        const int margins[4] = {size.left, size.top, size.right, size.bottom};
        sheetFromSize(size.width, size.length, margins, &paper->sheet);
    } else {
        pwg_media_t* known = pwgMediaForPWG(name);
        if (!known) known = pwgMediaForLegacy(name);
        if (!known) known = pwgMediaForPPD(name);
        if (!known || known->width <= 0 || known->length <= 0) return false;
        const int none[4] = {0, 0, 0, 0};
        sheetFromSize(known->width, known->length, none, &paper->sheet);
    }
    return true;
}

// The standard size the sheet is (a PPD gives A4 in whole points, a little
// off 210 x 297 mm): the sheet takes its exact size, and the job its name,
// which every destination takes as its media.
std::string standardSize(printSheet* sheet)
{
    pwg_media_t* media = pwgMediaForSize(static_cast<int>(sheet->width / pointsPerHundredthMm + 0.5),
                                         static_cast<int>(sheet->height / pointsPerHundredthMm + 0.5));
    if (!media || !media->pwg) return "";
    if (media->width > 0 && media->length > 0) {
        sheet->width = media->width * pointsPerHundredthMm;
        sheet->height = media->length * pointsPerHundredthMm;
    }
    return media->pwg;
}

bool defaultPaper(const char* name, queuePaper* paper)
{
    cups_dest_t* destination = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name, nullptr);
    if (!destination) return false;
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, destination);
    bool found = false;
    if (info) {
        const char* chosen = cupsGetOption("media", destination->num_options, destination->options);
        if (!chosen) chosen = cupsGetOption("PageSize", destination->num_options, destination->options);
        if (chosen) found = sheetFromName(destination, info, chosen, paper);
        if (!found) {
            ipp_attribute_t* collection = cupsFindDestDefault(CUPS_HTTP_DEFAULT, destination, info, "media-col");
            found = collection && ippGetValueTag(collection) == IPP_TAG_BEGIN_COLLECTION &&
                    sheetFromCollection(ippGetCollection(collection, 0), &paper->sheet);
        }
        if (!found) {
            ipp_attribute_t* media = cupsFindDestDefault(CUPS_HTTP_DEFAULT, destination, info, "media");
            const char* mediaName = media ? ippGetString(media, 0, nullptr) : nullptr;
            found = mediaName && sheetFromName(destination, info, mediaName, paper);
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, destination);
    if (!found) return false;
    paper->media = standardSize(&paper->sheet);
    keepOffTheEdges(&paper->sheet);
    return true;
}

}  // namespace

std::vector<printDestination> listDestinations()
{
    std::vector<printDestination> printers;
    cups_dest_t* destinations = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &destinations);
    for (int i = 0; i < count; ++i) {
        if (destinations[i].instance) continue;
        printers.push_back(printDestination{destinations[i].name, destinations[i].is_default});
    }
    cupsFreeDests(count, destinations);
    std::stable_partition(printers.begin(), printers.end(), [](const printDestination& e) { return e.isDefault != 0; });
    return printers;
}

int destinationPaper(const char* name, double* width, double* height, double margins[4])
{
    queuePaper paper{};
    if (!defaultPaper(name, &paper)) return 0;
    *width = paper.sheet.width;
    *height = paper.sheet.height;
    std::memcpy(margins, paper.sheet.margins, sizeof paper.sheet.margins);
    return 1;
}

int submitPdf(const char* printer, const char* title, const std::string& pdf, std::string* error)
{
    // The document is laid out on the destination's default paper, edge to
    // edge: the job asks for that paper and for no scaling.
    int count = 0;
    cups_option_t* options = nullptr;
    queuePaper paper{};
    if (defaultPaper(printer, &paper) && !paper.media.empty()) {
        count = cupsAddOption("media", paper.media.c_str(), count, &options);
    }
    count = cupsAddOption("print-scaling", "none", count, &options);
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer, title, count, options);
    cupsFreeOptions(count, options);
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
