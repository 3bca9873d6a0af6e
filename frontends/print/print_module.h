// The print module (print.so in the program's module folder,
// frontends/modules.h): everything the terminal front end's printing needs
// from cups and cairo, so that only a run that prints loads them.  The
// module hands out one table of entry points; the terminal loads it when
// the print form opens or a job runs.
#pragma once

#include <string>
#include <vector>

#include "portable/frontend.h"

// A destination the system's printing lists.
struct printDestination {
    std::string name;
    int isDefault;
};

struct printModule {
    // sizeof(printModule) where the module was built: a module of another
    // build is not used.
    unsigned size;

    // The destinations the system's printing lists, its default first
    // (none where the module was built without CUPS or none is reached).
    std::vector<printDestination> (*destinations)();

    // The printable area of a destination's sheet at dpi dots per inch
    // (HORZRES x VERTRES): the destination's default paper less its
    // margins, the locale's paper with a quarter inch where the destination
    // says nothing, or, for the PDF file (pdfFile 1), the locale's paper
    // with half an inch.
    void (*printableArea)(const char* destination, int pdfFile, int dpi, int* width, int* height);

    // One document at a time, made as a PDF in memory on that sheet:
    // started, given each page as the console ends it (drawn at the
    // printable area's corner; 1, or -1 when it cannot be drawn), then
    // finished (1 with its bytes in pdf, 0 when it could not be made) or
    // dropped.
    int (*startDocument)(const char* destination, int pdfFile);
    int (*addPage)(const pwDocument* document, const pwPage* page);
    int (*finishDocument)(std::string* pdf);
    void (*dropDocument)();

    // Sends a finished document to a destination, asking for the paper it
    // was laid out on, unscaled; 0 with the reason in error on failure.
    int (*submitDocument)(const char* destination, const char* title, const std::string& pdf, std::string* error);
};

// The module's one exported symbol.
extern "C" const printModule* rastrelPrintModule();
