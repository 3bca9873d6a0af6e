// The sheet a document is printed on and the part of it a printer can mark,
// shared by the front ends that print for real.
//
// The console draws a page in device units from the device context's origin
// across HORZRES x VERTRES, so that origin is put at the printable area's
// top-left corner and those sizes are the printable area: the sheet less
// its margins.  A destination that reports no margin on a side (none at
// all, or a borderless size) still gets a quarter of an inch there, so no
// printer loses text to the sheet's edge.
#pragma once

#include "portable/frontend.h"

// A quarter of an inch, in points (1/72 inch).
const double leastMargin = 18.0;

struct printSheet {
    double width, height;   // the paper, in points
    double margins[4];      // left, top, right, bottom, in points
};

// Every margin of zero or less becomes a quarter of an inch.
void keepOffTheEdges(printSheet* sheet);

// The paper the locale uses, in points: A4 where the locale says nothing.
void localePaper(double* width, double* height);

// HORZRES and VERTRES of the sheet's printable area at dpi (at least 1).
void printableArea(const printSheet& sheet, int dpi, int* width, int* height);
