// No printing system in this build: no destination is listed, and the PDF
// file is the only place to print to.
#include "frontends/print/destinations.h"

std::vector<printDestination> listDestinations()
{
    return {};
}

int destinationPaper(const char*, double*, double*, double*)
{
    return 0;
}

int submitPdf(const char*, const char*, const std::string&, std::string* error)
{
    *error = "this build has no printing system";
    return 0;
}
