// Printing the documents the window system recorded, for the front ends that
// print for real: a recorded page drawn onto any cairo context, and a whole
// document written as a PDF file.
#pragma once

#include <cairo.h>

#include "portable/frontend.h"

// Draws a recorded page onto cr, whose user space is the page in the
// printer's device units (the caller scales it to the surface).  Text items
// are drawn in a monospace face scaled to the printer's character cell, with
// each item's top-left corner at its recorded position; lines as lines.
void replayPage(cairo_t* cr, const pwDocument& document, const pwPage& page);

// The page's size in points (1/72 inch) at the printer's resolution.
void pageSizeInPoints(const pwDocument& document, double* width, double* height);

// Writes every page of the document into a PDF file at path.  1 on success,
// 0 when the file cannot be written.
int writeDocumentPdf(const pwDocument& document, const char* path);
