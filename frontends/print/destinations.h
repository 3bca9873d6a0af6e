// The system's printers, inside the print module: through CUPS
// (destinations_cups.cpp) or, in a build without it, none
// (destinations_none.cpp).
#pragma once

#include <string>
#include <vector>

#include "frontends/print/print_module.h"

// The destinations listed, the default first.
std::vector<printDestination> listDestinations();
// The paper of a destination in points, and its unprintable margins in
// points (left, top, right, bottom; a quarter inch where it has none); 0
// when the destination says nothing or cannot be asked.
int destinationPaper(const char* name, double* width, double* height, double margins[4]);
// Sends a PDF document to a destination; 0 with the reason in error.
int submitPdf(const char* destination, const char* title, const std::string& pdf, std::string* error);
