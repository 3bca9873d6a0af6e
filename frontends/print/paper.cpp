// The sheet and its printable area.
#include "frontends/print/paper.h"

#include <langinfo.h>

#include <clocale>
#include <cmath>
#include <cstdint>

namespace {
const double pointsPerInch = 72.0;
const double millimetresPerInch = 25.4;
}

void keepOffTheEdges(printSheet* sheet)
{
    for (double& margin : sheet->margins) {
        if (!(margin > 0)) margin = leastMargin;
    }
    // Margins that leave less than half the sheet are no printer's: a
    // quarter of an inch instead.
    if (!(sheet->margins[0] + sheet->margins[2] < sheet->width / 2)) {
        sheet->margins[0] = sheet->margins[2] = leastMargin;
    }
    if (!(sheet->margins[1] + sheet->margins[3] < sheet->height / 2)) {
        sheet->margins[1] = sheet->margins[3] = leastMargin;
    }
}

void localePaper(double* width, double* height)
{
    // LC_PAPER is read from the environment once; the rest of the locale is
    // left as the program set it.
    static bool read = false;
    if (!read) {
        std::setlocale(LC_PAPER, "");
        read = true;
    }
    const int widthMm = static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo(_NL_PAPER_WIDTH)));
    const int heightMm = static_cast<int>(reinterpret_cast<intptr_t>(nl_langinfo(_NL_PAPER_HEIGHT)));
    const bool known = widthMm > 0 && heightMm > 0;
    *width = (known ? widthMm : 210) * pointsPerInch / millimetresPerInch;
    *height = (known ? heightMm : 297) * pointsPerInch / millimetresPerInch;
}

void printableArea(const printSheet& sheet, int dpi, int* width, int* height)
{
    const double scale = dpi / pointsPerInch;
    const double w = (sheet.width - sheet.margins[0] - sheet.margins[2]) * scale;
    const double h = (sheet.height - sheet.margins[1] - sheet.margins[3]) * scale;
    // Whole device units that stay inside the area.
    *width = w >= 1 ? static_cast<int>(std::floor(w + 1e-6)) : 1;
    *height = h >= 1 ? static_cast<int>(std::floor(h + 1e-6)) : 1;
}
