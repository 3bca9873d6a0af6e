// Text on the desktop: the monospace face that stands for the console's
// font request, its real metrics, and rows of character cells drawn with
// Pango onto any cairo context.  None of it needs a display, so the tests
// use it as it is.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>

#include "portable/frontend.h"

// The face, pixel size and style drawn for a font request.
struct gwFontChoice {
    std::string family;
    int pixelSize;             // the em height in pixels
    int bold;
    int italic;
};

// The installed face used for a requested face name: the face of that name
// when fontconfig has it and it is fixed-pitch, otherwise the desktop's
// monospace face as fontconfig resolves "monospace".
std::string gwFaceFor(const char* requested);

// The choice for a request (null: the window's own font, the console's
// default request of 10 points at dpi).  A negative height asks for that
// character height, a positive one for that cell height.
gwFontChoice gwChooseFont(const pwFontRequest* request, int dpi);

// One glyph for one byte of the console's character set.
struct gwGlyph {
    int ready;
    PangoFont* font;           // the face that has it (a fallback face for a few)
    PangoGlyph glyph;
    int offset;                // Pango units that centre it in its cell
};

// An open font: its metrics in whole pixels and its glyphs.
struct gwTextFont {
    PangoContext* context;
    PangoFontDescription* description;
    PangoFont* font;
    int cellWidth, cellHeight, ascent;
    gwGlyph glyphs[256];
};

// Opens the chosen font; 0 when no face could be loaded.
int gwOpenFont(gwTextFont* font, const gwFontChoice& choice);
void gwCloseFont(gwTextFont* font);
pwFontMetrics gwMetricsOf(const gwTextFont& font);

// The x where the text of a surface cell is drawn, in client pixels (the
// console's margin within the cell, as the window system gives it).
int gwCellX(const gwTextFont& font, int column);

// Draws one row of cells with its top at y, over the whole width: the strip
// in the window colour, each cell's background, and the text as runs (one
// Pango call per run of one colour and face), every glyph in its cell.
void gwRenderRow(cairo_t* cr, gwTextFont* font, const pwCell* cells, int columns, int y, int width,
                 plColor windowColour);

// Moves rows of an image surface as the window system's scroll report says:
// rows [top, bottom) now hold what rows [top + delta, bottom + delta) held.
// rowPixels is a row's height in the surface's own pixels.
void gwScrollRows(cairo_surface_t* surface, int rowPixels, int top, int bottom, int delta);

// A plColor (0x00BBGGRR) as cairo's source colour.
void gwSetColour(cairo_t* cr, plColor colour);
