// Printing on the desktop: GTK's print dialog answers the console's print
// request, the chosen printer's page setup and resolution give the page the
// console lays out, and each recorded page is drawn with the same page
// replay as every real front end onto the surface of a GtkPrintJob, which
// goes to the printer (a CUPS queue, or "Print to File").
//
// The console's device context is the page setup's printable area: its
// origin is the area's top-left corner on the sheet and HORZRES x VERTRES
// its size, the sheet less the page setup's margins (a quarter of an inch
// on a side where the printer reports none).  The dialog opens on the
// printer and settings of the last print of this run, or else on the
// system's default printer.
#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <gtk/gtkunixprint.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"
#include "frontends/print/page_replay.h"
#include "frontends/print/paper.h"

namespace gw {

namespace {

// The printer's default font: 10 points, monospace.
const double printerFontPoints = 10.0;
const char printerFace[] = "monospace";

// The printer, settings and page setup of the last print dialog (or of the
// default printer), which the console's device context stands for.
struct Printing {
    std::string name;
    GtkPrinter* printer;
    GtkPrintSettings* settings;
    GtkPageSetup* pageSetup;
    // The document being printed.
    GtkPrintJob* job;
    cairo_t* cr;
    size_t pagesDrawn;
    int sent;
    GError* sendError;
};
Printing printing;

void forgetPrinter()
{
    if (printing.printer) g_object_unref(printing.printer);
    if (printing.settings) g_object_unref(printing.settings);
    if (printing.pageSetup) g_object_unref(printing.pageSetup);
    printing.printer = nullptr;
    printing.settings = nullptr;
    printing.pageSetup = nullptr;
    printing.name.clear();
}

void keepPrinter(GtkPrinter* printer, GtkPrintSettings* settings, GtkPageSetup* setup, const std::string& name)
{
    forgetPrinter();
    printing.printer = GTK_PRINTER(g_object_ref(printer));
    printing.settings = GTK_PRINT_SETTINGS(g_object_ref(settings));
    printing.pageSetup = GTK_PAGE_SETUP(g_object_ref(setup));
    printing.name = name;
}

gboolean takeDefault(GtkPrinter* printer, gpointer data)
{
    GtkPrinter** chosen = static_cast<GtkPrinter**>(data);
    if (gtk_printer_is_default(printer) && !gtk_printer_is_virtual(printer)) {
        *chosen = GTK_PRINTER(g_object_ref(printer));
        return TRUE;
    }
    return FALSE;
}

// The page setup's sheet, in its orientation, with the margins printing
// keeps: the printer's, or a quarter of an inch where it reports none.
printSheet sheetOf(GtkPageSetup* setup)
{
    printSheet sheet{gtk_page_setup_get_paper_width(setup, GTK_UNIT_POINTS),
                     gtk_page_setup_get_paper_height(setup, GTK_UNIT_POINTS),
                     {gtk_page_setup_get_left_margin(setup, GTK_UNIT_POINTS),
                      gtk_page_setup_get_top_margin(setup, GTK_UNIT_POINTS),
                      gtk_page_setup_get_right_margin(setup, GTK_UNIT_POINTS),
                      gtk_page_setup_get_bottom_margin(setup, GTK_UNIT_POINTS)}};
    keepOffTheEdges(&sheet);
    return sheet;
}

// The name of the system's default printer (a real one, not a file), ""
// when there is none.
std::string defaultPrinterName()
{
    GtkPrinter* chosen = nullptr;
    gtk_enumerate_printers(takeDefault, &chosen, nullptr, TRUE);
    if (!chosen) return "";
    std::string name = gtk_printer_get_name(chosen);
    g_object_unref(chosen);
    return name;
}

int resolutionOf(GtkPrintSettings* settings)
{
    const int dpi = gtk_print_settings_get_resolution(settings);
    return dpi > 0 ? dpi : 300;
}

// The page range the console's request can hold: the span of the ranges
// the dialog gave, counted from 1.
void pageSpan(GtkPrintSettings* settings, int* from, int* to)
{
    gint count = 0;
    GtkPageRange* ranges = gtk_print_settings_get_page_ranges(settings, &count);
    *from = 0;
    *to = 0;
    for (gint i = 0; i < count; ++i) {
        const int start = ranges[i].start + 1;
        const int end = (ranges[i].end >= ranges[i].start ? ranges[i].end : ranges[i].start) + 1;
        if (*from == 0 || start < *from) *from = start;
        if (end > *to) *to = end;
    }
    g_free(ranges);
    if (*from < 1) *from = 1;
    if (*to > 0xFFFF) *to = 0xFFFF;
    if (*from > 0xFFFF) *from = 0xFFFF;
}

void drawPage(const pwDocument& document, const pwPage& page)
{
    printPage(printing.cr, printing.pageSetup, document, page);
}

// The first list inside a widget: the print dialog's printers.
GtkWidget* firstList(GtkWidget* widget)
{
    if (GTK_IS_TREE_VIEW(widget)) return widget;
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkWidget* found = nullptr;
    for (GList* c = children; c && !found; c = c->next) found = firstList(GTK_WIDGET(c->data));
    g_list_free(children);
    return found;
}

// The keyboard starts in the list of printers, so the arrows choose one.
// A list that takes the focus with no printer selected selects its first
// row (and so the dialog stops waiting for the printer it was to open on):
// while that printer has not been listed yet, the focus waits for it.
void focusOnceSelected(GtkTreeSelection* selection, gpointer list)
{
    if (gtk_tree_selection_count_selected_rows(selection) == 0) return;
    g_signal_handlers_disconnect_by_func(selection, reinterpret_cast<gpointer>(focusOnceSelected), list);
    gtk_widget_grab_focus(GTK_WIDGET(list));
}

void focusPrinters(GtkWidget* dialog, gpointer waitsForPrinter)
{
    GtkWidget* list = firstList(dialog);
    if (!list) return;
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
    if (!waitsForPrinter || gtk_tree_selection_count_selected_rows(selection) > 0) {
        gtk_widget_grab_focus(list);
    } else {
        g_signal_connect_object(selection, "changed", G_CALLBACK(focusOnceSelected), list, static_cast<GConnectFlags>(0));
    }
}

void onJobSent(GtkPrintJob*, gpointer, const GError* error)
{
    printing.sent = 1;
    if (error) printing.sendError = g_error_copy(error);
}

void dropJob()
{
    if (printing.cr) cairo_destroy(printing.cr);
    if (printing.job) g_object_unref(printing.job);
    printing.cr = nullptr;
    printing.job = nullptr;
    printing.pagesDrawn = 0;
}

void reportFailure(const char* what, const GError* error)
{
    char text[1024];
    std::snprintf(text, sizeof text, "%s: %s", what, error && error->message ? error->message : "unknown error");
    View* main = state.views.empty() ? nullptr : state.views.front();
    GtkWidget* box = gtk_message_dialog_new(main ? parentFor(main->handle) : nullptr, GTK_DIALOG_MODAL,
                                            GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", text);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

int startJob(const pwDocument& document)
{
    dropJob();
    if (!printing.printer) return -1;
    // The console prints every copy and only the pages asked for itself.
    GtkPrintSettings* settings = gtk_print_settings_copy(printing.settings);
    gtk_print_settings_set_n_copies(settings, 1);
    gtk_print_settings_set_collate(settings, FALSE);
    gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_ALL);
    gtk_print_settings_set_page_ranges(settings, nullptr, 0);
    const std::string title = gwFromAnsiText(document.name.data(), document.name.size());
    printing.job = gtk_print_job_new(title.c_str(), printing.printer, settings, printing.pageSetup);
    g_object_unref(settings);
    GError* error = nullptr;
    cairo_surface_t* surface = gtk_print_job_get_surface(printing.job, &error);
    if (!surface) {
        reportFailure("The printer cannot take the document", error);
        g_clear_error(&error);
        dropJob();
        return -1;
    }
    printing.cr = cairo_create(surface);
    return 1;
}

// Sends the finished document and waits until the printer has it.
void sendJob()
{
    cairo_surface_t* surface = cairo_get_target(printing.cr);
    cairo_destroy(printing.cr);
    printing.cr = nullptr;
    cairo_surface_finish(surface);
    printing.sent = 0;
    printing.sendError = nullptr;
    gtk_print_job_send(printing.job, onJobSent, nullptr, nullptr);
    while (!printing.sent) gtk_main_iteration_do(TRUE);
    if (printing.sendError) {
        reportFailure("The document could not be printed", printing.sendError);
        g_clear_error(&printing.sendError);
    }
    dropJob();
}

}  // namespace

void printerCell(int dpi, int* charWidth, int* rowHeight)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, printerFace, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, printerFontPoints * dpi / 72.0);
    cairo_text_extents_t glyph;
    cairo_text_extents(cr, "M", &glyph);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    *charWidth = static_cast<int>(std::lround(glyph.x_advance));
    *rowHeight = static_cast<int>(std::lround(font.height));
    if (*charWidth < 1) *charWidth = 1;
    if (*rowHeight < 1) *rowHeight = 1;
}

void pageGeometry(GtkPageSetup* setup, int dpi, pwPrinterInfo* info)
{
    info->dpi = dpi;
    printableArea(sheetOf(setup), dpi, &info->width, &info->height);
    printerCell(dpi, &info->charWidth, &info->rowHeight);
}

void printPage(cairo_t* cr, GtkPageSetup* setup, const pwDocument& document, const pwPage& page)
{
    // A job's surface has the paper's upright size.  A PDF page takes the
    // orientation's size; on any other surface (PostScript) the sheet stays
    // upright and the drawing is turned, as GTK's own print operation does.
    cairo_surface_t* target = cairo_get_target(cr);
    GtkPaperSize* paper = gtk_page_setup_get_paper_size(setup);
    const double width = gtk_paper_size_get_width(paper, GTK_UNIT_POINTS);
    const double height = gtk_paper_size_get_height(paper, GTK_UNIT_POINTS);
    const GtkPageOrientation orientation = gtk_page_setup_get_orientation(setup);
    const bool turned = orientation == GTK_PAGE_ORIENTATION_LANDSCAPE ||
                        orientation == GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE;
    const bool pdf = cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_PDF;
    cairo_save(cr);
    if (pdf) {
        cairo_pdf_surface_set_size(target, turned ? height : width, turned ? width : height);
        if (orientation == GTK_PAGE_ORIENTATION_REVERSE_PORTRAIT) {
            cairo_translate(cr, width, height);
            cairo_scale(cr, -1, -1);
        } else if (orientation == GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE) {
            cairo_translate(cr, height, width);
            cairo_scale(cr, -1, -1);
        }
    } else {
        if (cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_PS) {
            cairo_ps_surface_dsc_begin_page_setup(target);
            cairo_ps_surface_dsc_comment(target, turned ? "%%PageOrientation: Landscape" : "%%PageOrientation: Portrait");
        }
        cairo_matrix_t turn;
        switch (orientation) {
        case GTK_PAGE_ORIENTATION_LANDSCAPE:
            cairo_translate(cr, 0, height);
            cairo_matrix_init(&turn, 0, -1, 1, 0, 0, 0);
            cairo_transform(cr, &turn);
            break;
        case GTK_PAGE_ORIENTATION_REVERSE_PORTRAIT:
            cairo_translate(cr, width, height);
            cairo_scale(cr, -1, -1);
            break;
        case GTK_PAGE_ORIENTATION_REVERSE_LANDSCAPE:
            cairo_translate(cr, width, 0);
            cairo_matrix_init(&turn, 0, 1, -1, 0, 0, 0);
            cairo_transform(cr, &turn);
            break;
        default:
            break;
        }
    }
    const printSheet sheet = sheetOf(setup);
    const double scale = 72.0 / (document.page.dpi > 0 ? document.page.dpi : 300);
    cairo_translate(cr, sheet.margins[0], sheet.margins[1]);
    cairo_scale(cr, scale, scale);
    replayPage(cr, document, page);
    cairo_restore(cr);
    cairo_show_page(cr);
}

int printDialog(struct plPrintDlg* request, char* printer, size_t size)
{
    GtkWidget* dialog = gtk_print_unix_dialog_new("Print", parentFor(request->owner));
    GtkPrintUnixDialog* print = GTK_PRINT_UNIX_DIALOG(dialog);
    // The last choice of this run is offered again; before there is one,
    // the system's default printer.
    GtkPrintSettings* settings = printing.settings ? gtk_print_settings_copy(printing.settings) : gtk_print_settings_new();
    if (!gtk_print_settings_get_printer(settings)) {
        const std::string name = printing.printer ? printing.name : defaultPrinterName();
        if (!name.empty()) gtk_print_settings_set_printer(settings, name.c_str());
    }
    const bool waitsForPrinter = gtk_print_settings_get_printer(settings) != nullptr;
    gtk_print_settings_set_n_copies(settings, request->copies > 0 ? request->copies : 1);
    gtk_print_settings_set_collate(settings, (request->flags & PD_COLLATE) != 0);
    if (request->flags & PD_PAGENUMS) {
        GtkPageRange range{request->fromPage - 1, request->toPage - 1};
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_RANGES);
        gtk_print_settings_set_page_ranges(settings, &range, 1);
    } else {
        gtk_print_settings_set_print_pages(settings, GTK_PRINT_PAGES_ALL);
    }
    gtk_print_unix_dialog_set_settings(print, settings);
    g_object_unref(settings);
    if (printing.pageSetup) gtk_print_unix_dialog_set_page_setup(print, printing.pageSetup);
    gtk_print_unix_dialog_set_manual_capabilities(
        print, static_cast<GtkPrintCapabilities>(GTK_PRINT_CAPABILITY_COPIES | GTK_PRINT_CAPABILITY_COLLATE |
                                                 GTK_PRINT_CAPABILITY_GENERATE_PDF | GTK_PRINT_CAPABILITY_GENERATE_PS));
    gtk_print_unix_dialog_set_support_selection(print, FALSE);
    gtk_print_unix_dialog_set_has_selection(print, FALSE);
    gtk_print_unix_dialog_set_current_page(print, -1);
    gtk_print_unix_dialog_set_embed_page_setup(print, TRUE);

    g_signal_connect(dialog, "map", G_CALLBACK(focusPrinters), GINT_TO_POINTER(waitsForPrinter ? 1 : 0));

    int answered = 0;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK) {
        GtkPrinter* chosen = gtk_print_unix_dialog_get_selected_printer(print);
        GtkPrintSettings* result = gtk_print_unix_dialog_get_settings(print);
        GtkPageSetup* setup = gtk_print_unix_dialog_get_page_setup(print);
        const int copies = gtk_print_settings_get_n_copies(result);
        const bool pages = gtk_print_settings_get_print_pages(result) == GTK_PRINT_PAGES_RANGES;
        int from = 0, to = 0;
        if (pages) pageSpan(result, &from, &to);
        pwAnswerPrintRequest(request, static_cast<uint16_t>(copies < 1 ? 1 : (copies > 0xFFFF ? 0xFFFF : copies)),
                             gtk_print_settings_get_collate(result) ? 1 : 0, pages, static_cast<uint16_t>(from),
                             static_cast<uint16_t>(to));
        printer[0] = '\0';
        if (chosen && setup && size > 1) {
            std::string name = gtk_printer_get_name(chosen);
            if (name.size() >= size) name.resize(size - 1);
            keepPrinter(chosen, result, setup, name);
            std::memcpy(printer, name.c_str(), name.size() + 1);
        }
        g_object_unref(result);
        answered = 1;
    }
    gtk_widget_destroy(dialog);
    return answered;
}

int printerInfo(const char* name, pwPrinterInfo* info)
{
    if (!name) {
        // The default printer: a real one, not a file.
        GtkPrinter* chosen = nullptr;
        gtk_enumerate_printers(takeDefault, &chosen, nullptr, TRUE);
        if (!chosen) return 0;
        GtkPrintSettings* settings = gtk_print_settings_new();
        GtkPageSetup* setup = gtk_page_setup_new();
        keepPrinter(chosen, settings, setup, gtk_printer_get_name(chosen));
        g_object_unref(settings);
        g_object_unref(setup);
        g_object_unref(chosen);
    } else if (!printing.printer || printing.name != name) {
        return 0;
    }
    std::snprintf(info->name, sizeof info->name, "%s", printing.name.c_str());
    pageGeometry(printing.pageSetup, resolutionOf(printing.settings), info);
    return 1;
}

int spooler(int step, const pwDocument* document)
{
    switch (step) {
    case pwStartDoc:
        return startJob(*document);
    case pwStartPage:
        return printing.cr ? 1 : -1;
    case pwEndPage:
        if (!printing.cr) return -1;
        while (printing.pagesDrawn < document->pages.size()) drawPage(*document, document->pages[printing.pagesDrawn++]);
        return cairo_status(printing.cr) == CAIRO_STATUS_SUCCESS ? 1 : -1;
    case pwEndDoc:
        if (!printing.cr) return 1;
        if (document->cancelled) {
            // The user cancelled: the printer gets nothing.
            dropJob();
            return 1;
        }
        while (printing.pagesDrawn < document->pages.size()) drawPage(*document, document->pages[printing.pagesDrawn++]);
        sendJob();
        return 1;
    default:
        dropJob();
        return 1;
    }
}

}  // namespace gw
