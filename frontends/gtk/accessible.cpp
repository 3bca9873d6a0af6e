// The text area as assistive technology sees it: an object named with the
// window's title, of role terminal, whose text is what the window shows.
//
// Its text is the visible rows of the window's surface, one line each
// (LF between them), up to the last row with text or the caret; its caret
// is the window's caret; its selection is the highlighted cells.  Each
// frame the window system makes, what changed in the text, the caret and
// the selection is reported once, as painting is.
#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

namespace {

const plColor windowColour = 0xFFFFFFu;

// What the window shows, as text: one character per cell.
struct Shown {
    std::vector<gunichar> text;
    std::vector<int> rowStarts;    // offset of each row's first character
    std::vector<int> rowLengths;
    int caret = -1;
    int selectionStart = -1, selectionEnd = -1;
};

View* areaView(GtkWidget* area)
{
    if (!area) return nullptr;
    for (View* view : state.views) {
        if (view->area == area) return view;
    }
    return nullptr;
}

// The surface's visible rows as text, the caret and the highlighted cells.
void readShown(View* view, Shown* shown)
{
    *shown = Shown{};
    if (!view) return;
    int rows = 0, columns = 0;
    pwSurfaceSize(view->handle, &rows, &columns, nullptr, nullptr);
    const int ch = state.font.cellHeight > 0 ? state.font.cellHeight : 1;
    const int cw = state.font.cellWidth > 0 ? state.font.cellWidth : 1;
    const int visible = view->area ? gtk_widget_get_allocated_height(view->area) / ch : 0;
    rows = std::min(rows, std::max(visible, 0));

    const pwCaretInfo caret = pwCaret();
    const bool ours = caret.owner == view->handle;
    const int caretRow = ours ? caret.y / ch : -1;
    const int caretColumn = ours ? caret.x / cw : 0;

    // Rows after the last with text (or the caret) are left out.
    int used = 0;
    for (int r = 0; r < rows; ++r) {
        const pwCell* cells = pwSurfaceRow(view->handle, r);
        for (int c = 0; cells && c < columns; ++c) {
            if (cells[c].character != 0 || cells[c].background != windowColour) used = r + 1;
        }
    }
    if (caretRow >= 0 && caretRow < rows) used = std::max(used, caretRow + 1);

    for (int r = 0; r < used; ++r) {
        const pwCell* cells = pwSurfaceRow(view->handle, r);
        int length = 0;
        for (int c = 0; cells && c < columns; ++c) {
            if (cells[c].character != 0 || cells[c].background != windowColour) length = c + 1;
        }
        if (r > 0) shown->text.push_back('\n');
        const int start = static_cast<int>(shown->text.size());
        shown->rowStarts.push_back(start);
        shown->rowLengths.push_back(length);
        for (int c = 0; c < length; ++c) {
            const pwCell& cell = cells[c];
            if (cell.background != windowColour) {
                if (shown->selectionStart < 0) shown->selectionStart = start + c;
                shown->selectionEnd = start + c + 1;
            }
            shown->text.push_back(cell.character ? gwFromAnsi(static_cast<unsigned char>(cell.character)) : ' ');
        }
    }
    if (caretRow >= 0 && caretRow < used) {
        const size_t row = static_cast<size_t>(caretRow);
        shown->caret = shown->rowStarts[row] + std::min(std::max(caretColumn, 0), shown->rowLengths[row]);
    }
}

}  // namespace

}  // namespace gw

using gw::Shown;

// ---------------------------------------------------------------------------
// The area's type, which only names its accessible's type and role.

struct GwTextArea {
    GtkDrawingArea parent;
};
struct GwTextAreaClass {
    GtkDrawingAreaClass parent;
};

struct GwTextAccessible {
    GtkWidgetAccessible parent;
    Shown* shown;
};
struct GwTextAccessibleClass {
    GtkWidgetAccessibleClass parent;
};

static void gw_text_accessible_text_init(AtkTextIface* iface);

G_DEFINE_TYPE_WITH_CODE(GwTextAccessible, gw_text_accessible, GTK_TYPE_WIDGET_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_TEXT, gw_text_accessible_text_init))
G_DEFINE_TYPE(GwTextArea, gw_text_area, GTK_TYPE_DRAWING_AREA)

namespace {

std::vector<GwTextAccessible*> accessibles;

GwTextAccessible* accessibleOf(AtkText* text)
{
    return reinterpret_cast<GwTextAccessible*>(text);
}

GtkWidget* widgetOf(AtkText* text)
{
    return gtk_accessible_get_widget(GTK_ACCESSIBLE(text));
}

// The accessible's text, read now when no frame has been reported yet.
const Shown& shownOf(AtkText* text)
{
    GwTextAccessible* accessible = accessibleOf(text);
    if (accessible->shown->text.empty() && accessible->shown->rowStarts.empty()) {
        gw::readShown(gw::areaView(widgetOf(text)), accessible->shown);
    }
    return *accessible->shown;
}

int characterCount(const Shown& shown)
{
    return static_cast<int>(shown.text.size());
}

gchar* utf8Of(const Shown& shown, int start, int end)
{
    const int count = characterCount(shown);
    if (end < 0 || end > count) end = count;
    if (start < 0) start = 0;
    if (start > end) start = end;
    gchar* text = g_ucs4_to_utf8(shown.text.data() + start, end - start, nullptr, nullptr, nullptr);
    return text ? text : g_strdup("");
}

bool isSpace(gunichar c)
{
    return c == ' ' || c == '\n' || c == '\t';
}

// The span of granularity around offset: a character, a word (a run of
// non-blanks with the blanks after it) or a row with its line end.
void spanAt(const Shown& shown, int offset, AtkTextGranularity granularity, int* start, int* end)
{
    const int count = characterCount(shown);
    offset = std::max(0, std::min(offset, count));
    switch (granularity) {
    case ATK_TEXT_GRANULARITY_CHAR:
        *start = offset;
        *end = std::min(offset + 1, count);
        return;
    case ATK_TEXT_GRANULARITY_WORD: {
        int s = offset;
        while (s > 0 && !isSpace(shown.text[static_cast<size_t>(s - 1)])) --s;
        int e = offset;
        while (e < count && !isSpace(shown.text[static_cast<size_t>(e)])) ++e;
        while (e < count && shown.text[static_cast<size_t>(e)] == ' ') ++e;
        *start = s;
        *end = e;
        return;
    }
    default: {
        *start = 0;
        *end = count;
        for (size_t r = 0; r < shown.rowStarts.size(); ++r) {
            const int rowStart = shown.rowStarts[r];
            const int rowEnd = rowStart + shown.rowLengths[r];
            if (offset >= rowStart && offset <= rowEnd) {
                *start = rowStart;
                *end = r + 1 < shown.rowStarts.size() ? rowEnd + 1 : rowEnd;
                return;
            }
        }
        return;
    }
    }
}

gchar* getText(AtkText* text, gint start, gint end)
{
    return utf8Of(shownOf(text), start, end);
}

gint getCharacterCount(AtkText* text)
{
    return characterCount(shownOf(text));
}

gint getCaretOffset(AtkText* text)
{
    return shownOf(text).caret;
}

gboolean setCaretOffset(AtkText*, gint)
{
    return FALSE;   // the caret moves with the console's keys and clicks only
}

gunichar getCharacterAtOffset(AtkText* text, gint offset)
{
    const Shown& shown = shownOf(text);
    return offset >= 0 && offset < characterCount(shown) ? shown.text[static_cast<size_t>(offset)] : 0;
}

gchar* getStringAtOffset(AtkText* text, gint offset, AtkTextGranularity granularity, gint* start, gint* end)
{
    const Shown& shown = shownOf(text);
    int s = 0, e = 0;
    spanAt(shown, offset, granularity, &s, &e);
    if (start) *start = s;
    if (end) *end = e;
    return utf8Of(shown, s, e);
}

gchar* getTextAtOffset(AtkText* text, gint offset, AtkTextBoundary boundary, gint* start, gint* end)
{
    AtkTextGranularity granularity = ATK_TEXT_GRANULARITY_LINE;
    if (boundary == ATK_TEXT_BOUNDARY_CHAR) granularity = ATK_TEXT_GRANULARITY_CHAR;
    if (boundary == ATK_TEXT_BOUNDARY_WORD_START || boundary == ATK_TEXT_BOUNDARY_WORD_END) {
        granularity = ATK_TEXT_GRANULARITY_WORD;
    }
    return getStringAtOffset(text, offset, granularity, start, end);
}

gint getSelectionCount(AtkText* text)
{
    return shownOf(text).selectionStart >= 0 ? 1 : 0;
}

gchar* getSelection(AtkText* text, gint number, gint* start, gint* end)
{
    const Shown& shown = shownOf(text);
    if (number != 0 || shown.selectionStart < 0) {
        if (start) *start = 0;
        if (end) *end = 0;
        return nullptr;
    }
    if (start) *start = shown.selectionStart;
    if (end) *end = shown.selectionEnd;
    return utf8Of(shown, shown.selectionStart, shown.selectionEnd);
}

// Where the area's origin is in the coordinates asked for.
void areaOrigin(GtkWidget* area, AtkCoordType coordinates, int* x, int* y)
{
    *x = 0;
    *y = 0;
    GdkWindow* window = area ? gtk_widget_get_window(area) : nullptr;
    if (!window) return;
    gdk_window_get_origin(window, x, y);
    if (coordinates == ATK_XY_WINDOW) {
        int tx = 0, ty = 0;
        gdk_window_get_origin(gdk_window_get_toplevel(window), &tx, &ty);
        *x -= tx;
        *y -= ty;
    }
    GtkAllocation allocation{};
    gtk_widget_get_allocation(area, &allocation);
    if (!gtk_widget_get_has_window(area)) {
        *x += allocation.x;
        *y += allocation.y;
    }
}

void getCharacterExtents(AtkText* text, gint offset, gint* x, gint* y, gint* width, gint* height,
                         AtkCoordType coordinates)
{
    const Shown& shown = shownOf(text);
    int ox = 0, oy = 0;
    areaOrigin(widgetOf(text), coordinates, &ox, &oy);
    int row = 0, column = offset;
    for (size_t r = 0; r < shown.rowStarts.size(); ++r) {
        if (offset >= shown.rowStarts[r]) {
            row = static_cast<int>(r);
            column = offset - shown.rowStarts[r];
        }
    }
    *x = ox + gwCellX(gw::state.font, column);
    *y = oy + row * gw::state.font.cellHeight;
    *width = gw::state.font.cellWidth;
    *height = gw::state.font.cellHeight;
}

gint getOffsetAtPoint(AtkText* text, gint x, gint y, AtkCoordType coordinates)
{
    const Shown& shown = shownOf(text);
    int ox = 0, oy = 0;
    areaOrigin(widgetOf(text), coordinates, &ox, &oy);
    const int cw = std::max(gw::state.font.cellWidth, 1);
    const int ch = std::max(gw::state.font.cellHeight, 1);
    if (x < ox || y < oy) return -1;
    const int row = (y - oy) / ch;
    const int column = (x - ox - gwCellX(gw::state.font, 0)) / cw;
    if (row >= static_cast<int>(shown.rowStarts.size()) || column < 0) return -1;
    const size_t r = static_cast<size_t>(row);
    return column < shown.rowLengths[r] ? shown.rowStarts[r] + column : -1;
}

const gchar* getName(AtkObject* object)
{
    const gchar* name = ATK_OBJECT_CLASS(gw_text_accessible_parent_class)->get_name(object);
    if (name && name[0]) return name;
    GtkWidget* area = gtk_accessible_get_widget(GTK_ACCESSIBLE(object));
    GtkWidget* top = area ? gtk_widget_get_toplevel(area) : nullptr;
    return top && GTK_IS_WINDOW(top) ? gtk_window_get_title(GTK_WINDOW(top)) : nullptr;
}

AtkStateSet* refStateSet(AtkObject* object)
{
    AtkStateSet* states = ATK_OBJECT_CLASS(gw_text_accessible_parent_class)->ref_state_set(object);
    atk_state_set_add_state(states, ATK_STATE_MULTI_LINE);
    return states;
}

void finalizeAccessible(GObject* object)
{
    GwTextAccessible* accessible = reinterpret_cast<GwTextAccessible*>(object);
    accessibles.erase(std::remove(accessibles.begin(), accessibles.end(), accessible), accessibles.end());
    delete accessible->shown;
    accessible->shown = nullptr;
    G_OBJECT_CLASS(gw_text_accessible_parent_class)->finalize(object);
}

}  // namespace

static void gw_text_accessible_class_init(GwTextAccessibleClass* klass)
{
    ATK_OBJECT_CLASS(klass)->get_name = getName;
    ATK_OBJECT_CLASS(klass)->ref_state_set = refStateSet;
    G_OBJECT_CLASS(klass)->finalize = finalizeAccessible;
}

static void gw_text_accessible_init(GwTextAccessible* accessible)
{
    accessible->shown = new Shown;
    accessibles.push_back(accessible);
}

static void gw_text_accessible_text_init(AtkTextIface* iface)
{
    iface->get_text = getText;
    iface->get_character_count = getCharacterCount;
    iface->get_caret_offset = getCaretOffset;
    iface->set_caret_offset = setCaretOffset;
    iface->get_character_at_offset = getCharacterAtOffset;
    iface->get_text_at_offset = getTextAtOffset;
    iface->get_string_at_offset = getStringAtOffset;
    iface->get_n_selections = getSelectionCount;
    iface->get_selection = getSelection;
    iface->get_character_extents = getCharacterExtents;
    iface->get_offset_at_point = getOffsetAtPoint;
}

static void gw_text_area_class_init(GwTextAreaClass* klass)
{
    gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), gw_text_accessible_get_type());
    gtk_widget_class_set_accessible_role(GTK_WIDGET_CLASS(klass), ATK_ROLE_TERMINAL);
}

static void gw_text_area_init(GwTextArea*) {}

namespace gw {

GtkWidget* newTextArea()
{
    return GTK_WIDGET(g_object_new(gw_text_area_get_type(), nullptr));
}

void accessibleFrame(View* view)
{
    for (GwTextAccessible* accessible : accessibles) {
        GtkWidget* area = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
        if (!view || area != view->area) continue;
        Shown now;
        readShown(view, &now);
        Shown& was = *accessible->shown;
        // The text: what differs between the common start and end is
        // reported as removed (while the old text is still read) and then
        // as inserted.
        const size_t oldCount = was.text.size();
        const size_t newCount = now.text.size();
        size_t head = 0;
        while (head < oldCount && head < newCount && was.text[head] == now.text[head]) ++head;
        size_t tail = 0;
        while (tail < oldCount - head && tail < newCount - head &&
               was.text[oldCount - 1 - tail] == now.text[newCount - 1 - tail]) {
            ++tail;
        }
        const int removed = static_cast<int>(oldCount - head - tail);
        const int inserted = static_cast<int>(newCount - head - tail);
        const bool caretMoved = now.caret != was.caret;
        const bool selectionChanged = now.selectionStart != was.selectionStart || now.selectionEnd != was.selectionEnd;
        if (removed > 0) g_signal_emit_by_name(accessible, "text-changed::delete", static_cast<gint>(head), removed);
        was = std::move(now);
        if (inserted > 0) g_signal_emit_by_name(accessible, "text-changed::insert", static_cast<gint>(head), inserted);
        if (caretMoved && was.caret >= 0) g_signal_emit_by_name(accessible, "text-caret-moved", was.caret);
        if (selectionChanged) g_signal_emit_by_name(accessible, "text-selection-changed");
        return;
    }
}

}  // namespace gw
