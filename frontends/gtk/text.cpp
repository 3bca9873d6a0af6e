// Fonts and rows of cells drawn with Pango.
#include "frontends/gtk/text.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangofc-fontmap.h>
#include <strings.h>

#include <cstring>

#include "frontends/gtk/keys.h"

namespace {

const char desktopMonospace[] = "monospace";
// WHITE VERTICAL RECTANGLE: what a control character shows.
const unsigned controlBox = 0x25AF;

// Fontconfig's configuration as Pango uses it.  Pango reads it on a thread
// of its own as its font map is made; this waits for that rather than
// reading it a second time.
FcConfig* fontConfig()
{
    PangoFontMap* map = pango_cairo_font_map_get_default();
    return PANGO_IS_FC_FONT_MAP(map) ? pango_fc_font_map_get_config(PANGO_FC_FONT_MAP(map)) : nullptr;
}

// The family fontconfig matches for a name, and whether it is fixed-pitch.
std::string matchFamily(const char* name, bool* fixedPitch)
{
    std::string family;
    *fixedPitch = false;
    FcConfig* config = fontConfig();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match) {
        FcChar8* found = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch && found) {
            family = reinterpret_cast<const char*>(found);
        }
        int spacing = 0;
        *fixedPitch = FcPatternGetInteger(match, FC_SPACING, 0, &spacing) == FcResultMatch && spacing == FC_MONO;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return family;
}

// The matches made so far: the fonts Pango sees do not change while the
// program runs, and the window and the console ask for the same names.
struct Matched {
    std::string name;
    std::string family;
    bool fixedPitch;
};
enum { matchesKept = 8 };
Matched matched[matchesKept];
int matchedCount;

std::string matchedFamily(const char* name, bool* fixedPitch)
{
    for (int i = 0; i < matchedCount; ++i) {
        if (matched[i].name == name) {
            *fixedPitch = matched[i].fixedPitch;
            return matched[i].family;
        }
    }
    const std::string family = matchFamily(name, fixedPitch);
    if (matchedCount < matchesKept) matched[matchedCount++] = Matched{name, family, *fixedPitch};
    return family;
}

// Whole pixels of a Pango length, rounded up.
int ceilPixels(int units)
{
    return (units + PANGO_SCALE - 1) / PANGO_SCALE;
}

// The default request's character height: 10 points at dpi, in tenths of a
// pixel first, as the console computes it.
int defaultPixelSize(int dpi)
{
    const int tenths = 10 * 10 * (dpi > 0 ? dpi : 96) / 72;
    return static_cast<int>(tenths * 0.1 + 0.5);
}

// The face's own glyph for a character, or none (a fallback face's glyph
// is taken only when it fits the cell).
bool faceGlyph(gwTextFont* font, unsigned character, gwGlyph* g)
{
    char text[8];
    const int length = g_unichar_to_utf8(character, text);
    PangoLayout* layout = pango_layout_new(font->context);
    pango_layout_set_font_description(layout, font->description);
    pango_layout_set_text(layout, text, length);
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
    bool found = false;
    if (line && line->runs) {
        const PangoLayoutRun* run = static_cast<const PangoLayoutRun*>(line->runs->data);
        const PangoGlyphInfo& info = run->glyphs->glyphs[0];
        if (run->glyphs->num_glyphs > 0 && !(info.glyph & PANGO_GLYPH_UNKNOWN_FLAG) &&
            info.geometry.width <= font->cellWidth * PANGO_SCALE * 5 / 4) {
            g->font = PANGO_FONT(g_object_ref(run->item->analysis.font));
            g->glyph = info.glyph;
            g->offset = (font->cellWidth * PANGO_SCALE - info.geometry.width) / 2;
            found = true;
        }
    }
    g_object_unref(layout);
    return found;
}

void loadGlyph(gwTextFont* font, unsigned char byte)
{
    gwGlyph& g = font->glyphs[byte];
    g = gwGlyph{};
    g.ready = 1;
    g.glyph = PANGO_GLYPH_EMPTY;
    const unsigned character = gwFromAnsi(byte);
    if (character == ' ') return;
    // A control character shows as a box, as a fixed-pitch face shows a
    // character it has no glyph for; a character no face has stays blank.
    const bool control = character < 0x20 || (character >= 0x7F && character < 0xA0);
    if (!faceGlyph(font, control ? controlBox : character, &g)) g.glyph = PANGO_GLYPH_EMPTY;
}

const gwGlyph& glyphOf(gwTextFont* font, char character)
{
    const unsigned char byte = static_cast<unsigned char>(character);
    if (!font->glyphs[byte].ready) loadGlyph(font, byte);
    return font->glyphs[byte];
}

// A cell with a glyph to draw (not blank, not a space).
bool inked(gwTextFont* font, const pwCell& cell)
{
    return cell.character != 0 && glyphOf(font, cell.character).font != nullptr;
}


}  // namespace

std::string gwFaceFor(const char* requested)
{
    bool fixedPitch = false;
    if (requested && requested[0]) {
        const std::string family = matchedFamily(requested, &fixedPitch);
        if (fixedPitch && strcasecmp(family.c_str(), requested) == 0) return family;
    }
    const std::string family = matchedFamily(desktopMonospace, &fixedPitch);
    return family.empty() ? desktopMonospace : family;
}

gwFontChoice gwChooseFont(const pwFontRequest* request, int dpi)
{
    gwFontChoice choice{gwFaceFor(request ? request->faceName.c_str() : nullptr), defaultPixelSize(dpi), 0, 0};
    if (!request) return choice;
    choice.bold = request->weight >= 600;
    choice.italic = request->italic != 0;
    if (request->height < 0) {
        choice.pixelSize = -request->height;
    } else if (request->height > 0) {
        // A cell height: the em that gives it, from the face's own proportions.
        gwTextFont probe{};
        gwFontChoice sized = choice;
        sized.pixelSize = request->height;
        if (gwOpenFont(&probe, sized)) {
            choice.pixelSize = request->height * request->height / (probe.cellHeight > 0 ? probe.cellHeight : 1);
            gwCloseFont(&probe);
        }
        if (choice.pixelSize < 1) choice.pixelSize = 1;
    }
    return choice;
}

int gwOpenFont(gwTextFont* font, const gwFontChoice& choice)
{
    *font = gwTextFont{};
    PangoFontMap* map = pango_cairo_font_map_get_default();
    font->context = pango_font_map_create_context(map);
    // Whole-pixel advances, grey antialiasing: every glyph sits on the grid.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(font->context, options);
    cairo_font_options_destroy(options);

    font->description = pango_font_description_new();
    pango_font_description_set_family(font->description, choice.family.c_str());
    pango_font_description_set_absolute_size(font->description, (choice.pixelSize > 0 ? choice.pixelSize : 1) * PANGO_SCALE);
    pango_font_description_set_weight(font->description, choice.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(font->description, choice.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    font->font = pango_context_load_font(font->context, font->description);
    if (!font->font) {
        gwCloseFont(font);
        return 0;
    }
    PangoFontMetrics* metrics = pango_font_get_metrics(font->font, nullptr);
    font->ascent = ceilPixels(pango_font_metrics_get_ascent(metrics));
    font->cellHeight = font->ascent + ceilPixels(pango_font_metrics_get_descent(metrics));
    pango_font_metrics_unref(metrics);

    // The advance of a wide letter, which every glyph of the face shares.
    PangoLayout* layout = pango_layout_new(font->context);
    pango_layout_set_font_description(layout, font->description);
    pango_layout_set_text(layout, "M", 1);
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    font->cellWidth = (logical.width + PANGO_SCALE / 2) / PANGO_SCALE;
    if (font->cellWidth < 1) font->cellWidth = 1;
    if (font->cellHeight < 1) font->cellHeight = 1;
    return 1;
}

void gwCloseFont(gwTextFont* font)
{
    for (gwGlyph& g : font->glyphs) {
        if (g.font) g_object_unref(g.font);
    }
    if (font->font) g_object_unref(font->font);
    if (font->description) pango_font_description_free(font->description);
    if (font->context) g_object_unref(font->context);
    *font = gwTextFont{};
}

pwFontMetrics gwMetricsOf(const gwTextFont& font)
{
    return pwFontMetrics{font.cellWidth, font.cellHeight, 0};
}

int gwCellX(const gwTextFont& font, int column)
{
    return column * font.cellWidth + pwCellTextLeft(font.cellWidth);
}

void gwSetColour(cairo_t* cr, plColor colour)
{
    cairo_set_source_rgb(cr, (colour & 0xFFu) / 255.0, ((colour >> 8) & 0xFFu) / 255.0, ((colour >> 16) & 0xFFu) / 255.0);
}

void gwRenderRow(cairo_t* cr, gwTextFont* font, const pwCell* cells, int columns, int y, int width,
                 plColor windowColour)
{
    const int cw = font->cellWidth;
    const int ch = font->cellHeight;
    cairo_save(cr);
    cairo_rectangle(cr, 0, y, width, ch);
    cairo_clip(cr);
    gwSetColour(cr, windowColour);
    cairo_paint(cr);
    for (int c = 0; c < columns;) {
        int end = c + 1;
        while (end < columns && cells[end].background == cells[c].background) ++end;
        if (cells[c].background != windowColour) {
            gwSetColour(cr, cells[c].background);
            cairo_rectangle(cr, gwCellX(*font, c), y, (end - c) * cw, ch);
            cairo_fill(cr);
        }
        c = end;
    }

    PangoGlyphString* glyphs = pango_glyph_string_new();
    for (int c = 0; c < columns;) {
        if (!inked(font, cells[c])) {
            ++c;
            continue;
        }
        const plColor colour = cells[c].text;
        PangoFont* face = glyphOf(font, cells[c].character).font;
        int end = c + 1;
        int last = c;
        while (end < columns) {
            if (inked(font, cells[end])) {
                if (cells[end].text != colour || glyphOf(font, cells[end].character).font != face) break;
                last = end;
            }
            ++end;
        }
        const int count = last - c + 1;
        pango_glyph_string_set_size(glyphs, count);
        for (int i = 0; i < count; ++i) {
            const pwCell& cell = cells[c + i];
            PangoGlyphInfo& info = glyphs->glyphs[i];
            info = PangoGlyphInfo{};
            if (!inked(font, cell)) {
                info.glyph = PANGO_GLYPH_EMPTY;
            } else {
                const gwGlyph& g = glyphOf(font, cell.character);
                info.glyph = g.glyph;
                info.geometry.x_offset = g.offset;
            }
            info.geometry.width = cw * PANGO_SCALE;
            info.attr.is_cluster_start = 1;
            glyphs->log_clusters[i] = i;
        }
        gwSetColour(cr, colour);
        cairo_move_to(cr, gwCellX(*font, c), y + font->ascent);
        pango_cairo_show_glyph_string(cr, face, glyphs);
        c = last + 1;
    }
    pango_glyph_string_free(glyphs);
    cairo_restore(cr);
}

void gwScrollRows(cairo_surface_t* surface, int rowPixels, int top, int bottom, int delta)
{
    const int magnitude = delta > 0 ? delta : -delta;
    const int rows = bottom - top - magnitude;
    if (rows <= 0 || delta == 0 || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int height = cairo_image_surface_get_height(surface);
    if (!data) return;
    int to = (delta > 0 ? top : top + magnitude) * rowPixels;
    int from = (delta > 0 ? top + magnitude : top) * rowPixels;
    int lines = rows * rowPixels;
    // Only what lies inside the surface moves.
    if (to + lines > height) lines = height - to;
    if (from + lines > height) lines = height - from;
    if (lines <= 0) return;
    std::memmove(data + static_cast<size_t>(to) * static_cast<size_t>(stride),
                 data + static_cast<size_t>(from) * static_cast<size_t>(stride),
                 static_cast<size_t>(lines) * static_cast<size_t>(stride));
    cairo_surface_mark_dirty(surface);
}
