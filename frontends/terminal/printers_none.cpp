// No printing system on this build: the print form offers the PDF file only.
#include "frontends/terminal/internal.h"

std::vector<tmPrinterEntry> tmListPrinters()
{
    return {};
}

int tmPrinterPaper(const char*, double*, double*, double*)
{
    return 0;
}

int tmSubmitPdf(const char*, const char*, const std::string&, std::string* error)
{
    *error = "this build has no printing system";
    return 0;
}
