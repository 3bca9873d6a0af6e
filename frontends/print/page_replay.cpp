// Recorded pages onto cairo.
#include "frontends/print/page_replay.h"

#include <cairo-pdf.h>

namespace {

const char monospaceFace[] = "monospace";

// The resolution a document was drawn for; a printer that gave none is
// taken as 600 dots per inch.
double dotsPerInch(const pwDocument& document)
{
    return document.page.dpi > 0 ? document.page.dpi : 600.0;
}

// Sets a monospace font whose advance fills the printer's character cell
// and whose height fits its row.
void selectCellFont(cairo_t* cr, const pwDocument& document, double* ascent)
{
    cairo_select_font_face(cr, monospaceFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 1.0);
    cairo_text_extents_t glyph;
    cairo_text_extents(cr, "M", &glyph);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    const double cellWidth = document.page.charWidth > 0 ? document.page.charWidth : 1.0;
    const double rowHeight = document.page.rowHeight > 0 ? document.page.rowHeight : 1.0;
    double size = glyph.x_advance > 0 ? cellWidth / glyph.x_advance : rowHeight;
    if (font.height > 0 && size * font.height > rowHeight) size = rowHeight / font.height;
    cairo_set_font_size(cr, size);
    *ascent = font.ascent * size;
}

}  // namespace

void pageSizeInPoints(const pwDocument& document, double* width, double* height)
{
    const double scale = 72.0 / dotsPerInch(document);
    *width = (document.page.width > 0 ? document.page.width : 4800) * scale;
    *height = (document.page.height > 0 ? document.page.height : 6600) * scale;
}

void replayPage(cairo_t* cr, const pwDocument& document, const pwPage& page)
{
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    double ascent = 0;
    selectCellFont(cr, document, &ascent);
    const double cellWidth = document.page.charWidth > 0 ? document.page.charWidth : 1.0;
    for (const pwTextItem& item : page.texts) {
        // One glyph per cell, so columns line up whatever the face's advance.
        char glyph[2] = {0, 0};
        for (size_t i = 0; i < item.text.size(); i++) {
            glyph[0] = item.text[i];
            if (static_cast<unsigned char>(glyph[0]) < 32 || static_cast<unsigned char>(glyph[0]) > 126) continue;
            cairo_move_to(cr, item.x + static_cast<double>(i) * cellWidth, item.y + ascent);
            cairo_show_text(cr, glyph);
        }
    }
    cairo_set_line_width(cr, dotsPerInch(document) / 150.0);
    for (const pwLine& line : page.lines) {
        cairo_move_to(cr, line.x1, line.y1);
        cairo_line_to(cr, line.x2, line.y2);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

int writeDocumentPdf(const pwDocument& document, const char* path)
{
    double width = 0, height = 0;
    pageSizeInPoints(document, &width, &height);
    cairo_surface_t* surface = cairo_pdf_surface_create(path, width, height);
    cairo_t* cr = cairo_create(surface);
    const double scale = 72.0 / dotsPerInch(document);
    for (const pwPage& page : document.pages) {
        cairo_save(cr);
        cairo_scale(cr, scale, scale);
        replayPage(cr, document, page);
        cairo_restore(cr);
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const int ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}
