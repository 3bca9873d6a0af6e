// The console window on the desktop front end, in this process, on the
// tests' own display: what the window shows against what the window system
// holds, the menu bar against the console's menu, the keys as the console
// receives them, the cancel dialog, and the session's logout query.
#include <gtest/gtest.h>
#include <gdk/gdkkeysyms.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/inspect.h"
#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"
#include "portable/frontend.h"
#include "portable/input.h"
#include "tests/gtk/display.h"

namespace {

char transcript[consoleCapacity];
char pendingInput[consoleInputSize];

void settle()
{
    for (int i = 0; i < 1000 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
    gw::deliverPending();
}

class DesktopWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_TEST_DISPLAY();
        ASSERT_TRUE(gw::gtkAvailable());
        gw::resetViews();
        pwReset();
        pwSetTextMargin(consoleTextMargin);
        consoleReset();
        ASSERT_TRUE(gw::install());
        plHinstance instance = plGetModuleHandle(nullptr);
        registerConsoleResources(instance);
        ASSERT_EQ(createConsoleWindow(instance), 1);
        initConsoleState(transcript, pendingInput, SW_SHOWNORMAL);
        showConsoleWindow(1);
        view = gw::viewOf(consoleWindow);
        ASSERT_NE(view, nullptr);
        // Until the window has its size on the display.
        for (int i = 0; i < 200 && !view->backing; ++i) {
            g_usleep(5000);
            settle();
        }
        ASSERT_NE(view->backing, nullptr);
        pwPresent();
        settle();
    }

    void write(const std::string& bytes) { consoleWriteHook(bytes.data(), static_cast<uint32_t>(bytes.size())); }

    // The rows the window system holds, drawn afresh, against the window's
    // backing surface: "" when every pixel agrees.
    std::string difference()
    {
        pwPresent();
        settle();
        const int width = view->backingWidth;
        const int height = view->backingHeight;
        cairo_surface_t* expected = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_t* cr = cairo_create(expected);
        gwSetColour(cr, 0xFFFFFFu);
        cairo_paint(cr);
        int rows = 0, columns = 0;
        pwSurfaceSize(consoleWindow, &rows, &columns, nullptr, nullptr);
        for (int r = 0; r < rows && r * gw::state.font.cellHeight < height; ++r) {
            gwRenderRow(cr, &gw::state.font, pwSurfaceRow(consoleWindow, r), columns, r * gw::state.font.cellHeight,
                        width, 0xFFFFFFu);
        }
        cairo_destroy(cr);
        cairo_surface_flush(expected);
        cairo_surface_flush(view->backing);
        std::string where;
        const int stride = cairo_image_surface_get_stride(expected);
        for (int y = 0; y < height && where.empty(); ++y) {
            if (std::memcmp(cairo_image_surface_get_data(expected) + y * stride,
                            cairo_image_surface_get_data(view->backing) + y * cairo_image_surface_get_stride(view->backing),
                            static_cast<size_t>(width) * 4) != 0) {
                where = "pixel row " + std::to_string(y) + " (text row " + std::to_string(y / gw::state.font.cellHeight) + ")";
            }
        }
        cairo_surface_destroy(expected);
        return where;
    }

    // The texts of a popup's items: label, then the accelerator text, then
    // "grayed" where the item is.
    std::vector<std::string> popupItems(int position, GtkWidget** popup = nullptr)
    {
        GList* tops = gtk_container_get_children(GTK_CONTAINER(view->menuBar));
        GtkWidget* menu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(g_list_nth_data(tops, static_cast<guint>(position))));
        g_list_free(tops);
        if (popup) *popup = menu;
        std::vector<std::string> items;
        GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
        for (GList* c = children; c; c = c->next) {
            GtkWidget* item = GTK_WIDGET(c->data);
            if (GTK_IS_SEPARATOR_MENU_ITEM(item)) {
                items.push_back("-");
                continue;
            }
            std::string text;
            GList* labels = gtk_container_get_children(GTK_CONTAINER(gtk_bin_get_child(GTK_BIN(item))));
            for (GList* l = labels; l; l = l->next) {
                if (!text.empty()) text += ' ';
                text += gtk_label_get_label(GTK_LABEL(l->data));
            }
            g_list_free(labels);
            if (!gtk_widget_get_sensitive(item)) text += " grayed";
            items.push_back(text);
        }
        g_list_free(children);
        return items;
    }

    gw::View* view = nullptr;
};

TEST_F(DesktopWindow, TheWindowShowsExactlyWhatTheWindowSystemHoldsThroughOutputScrollsSelectionAndResizes)
{
    EXPECT_EQ(difference(), "");
    std::mt19937 random(11);
    for (int step = 0; step < 60; ++step) {
        switch (random() % 6) {
        case 0:
            gtk_window_resize(GTK_WINDOW(view->window), 300 + static_cast<int>(random() % 500),
                              200 + static_cast<int>(random() % 400));
            for (int i = 0; i < 20; ++i) {
                g_usleep(2000);
                settle();
            }
            break;
        case 1:
            pwScroll(consoleWindow, static_cast<int>(random() % 8), static_cast<int>(random() % 40));
            break;
        case 2:
            pwMouseDown(consoleWindow, static_cast<int>(random() % 300), static_cast<int>(random() % 200), 0);
            pwMouseMove(consoleWindow, static_cast<int>(random() % 300), static_cast<int>(random() % 200), 1);
            break;
        default: {
            std::string lines;
            for (int n = static_cast<int>(random() % 30); n > 0; --n) {
                lines += "line " + std::to_string(step) + "." + std::to_string(n) + std::string(random() % 90, 'x') + "\r\n";
            }
            write(lines);
            break;
        }
        }
        pwPump();
        ASSERT_EQ(difference(), "") << "after step " << step;
    }
}

TEST_F(DesktopWindow, TheMenuBarIsTheConsolesMenuAndItsStatesAreWorkedOutAsAPopupOpens)
{
    ASSERT_NE(view->menuBar, nullptr);
    const std::vector<std::string> file = popupItems(0);
    const std::vector<std::string> expectedFile = {
        "_New Ctr+N grayed", "_Open Ctrl+O grayed", "_Close Ctrl+W grayed", "-", "_Save Ctrl+S", "-",
        "_Print Ctrl+P",     "-",                   "E_xit Alt+F4",
    };
    EXPECT_EQ(file, expectedFile);

    gtk_clipboard_clear(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    GtkWidget* edit = nullptr;
    popupItems(1, &edit);
    gtk_widget_show(edit);   // the popup opens: the console works out its states
    const std::vector<std::string> nothing = {"_Undo Ctrl+Z grayed", "-", "Cu_t Ctrl+X grayed", "_Copy Ctrl+C grayed",
                                              "_Paste Ctrl+V grayed", "-", "Select A_ll Ctrl+A"};
    EXPECT_EQ(popupItems(1), nothing);
    gtk_widget_hide(edit);

    write("some text\r\n");
    plSendMessage(consoleWindow, WM_COMMAND, commandSelectAll, 0);
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "pasted", -1);
    gtk_widget_show(edit);
    const std::vector<std::string> both = {"_Undo Ctrl+Z grayed", "-", "Cu_t Ctrl+X", "_Copy Ctrl+C",
                                           "_Paste Ctrl+V", "-", "Select A_ll Ctrl+A"};
    EXPECT_EQ(popupItems(1), both);
    gtk_widget_hide(edit);
}

TEST_F(DesktopWindow, ChoosingAnItemPostsItsCommandAndAGrayedItemPostsNothing)
{
    write("some text\r\n");
    GtkWidget* edit = nullptr;
    popupItems(1, &edit);
    GList* items = gtk_container_get_children(GTK_CONTAINER(edit));
    GtkWidget* copy = GTK_WIDGET(g_list_nth_data(items, 3));
    GtkWidget* selectAll = GTK_WIDGET(g_list_nth_data(items, 6));
    g_list_free(items);
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "before", -1);
    gtk_menu_item_activate(GTK_MENU_ITEM(copy));   // nothing selected: grayed
    pwPump();
    gtk_menu_item_activate(GTK_MENU_ITEM(selectAll));
    pwPump();
    EXPECT_TRUE(ConsoleState.selStart && ConsoleState.selEnd);
    settle();
    gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    EXPECT_STREQ(text, "before");
    g_free(text);
    gtk_menu_item_activate(GTK_MENU_ITEM(copy));
    pwPump();
    text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    EXPECT_STREQ(text, "some text\n");   // the desktop's line ends
    g_free(text);

    // Pasted lines from the desktop are entered as typed ones: CR LF.
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "a\nb", -1);
    plSendMessage(consoleWindow, WM_COMMAND, commandSelectAll, 0);
    plSendMessage(consoleWindow, WM_COMMAND, commandPaste, 0);
    EXPECT_EQ(std::string(ConsoleState.textStart, ConsoleState.textEnd), "a\r\nb");
}

// The messages posted to the console window: "char N", "key N", "down X Y
// SHIFT", "move X Y BUTTON", "up X Y", "scroll CODE POSITION", "close".
std::string postedInput()
{
    std::string posted;
    plMsg msg{};
    while (plPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        const int x = static_cast<int16_t>(plLoWord(static_cast<uintptr_t>(msg.lParam)));
        const int y = static_cast<int16_t>(plHiWord(static_cast<uintptr_t>(msg.lParam)));
        const std::string at = std::to_string(x) + " " + std::to_string(y);
        switch (msg.message) {
        case WM_CHAR:
            posted += "char " + std::to_string(msg.wParam) + "; ";
            break;
        case WM_KEYDOWN:
            posted += "key " + std::to_string(msg.wParam) + "; ";
            break;
        case WM_LBUTTONDOWN:
            posted += "down " + at + ((msg.wParam & MK_SHIFT) ? " shift" : "") + "; ";
            break;
        case WM_MOUSEMOVE:
            posted += "move " + at + ((msg.wParam & MK_LBUTTON) ? " button" : "") + "; ";
            break;
        case WM_LBUTTONUP:
            posted += "up " + at + "; ";
            break;
        case WM_VSCROLL:
            posted += "scroll " + std::to_string(plLoWord(msg.wParam)) + " " + std::to_string(plHiWord(msg.wParam)) + "; ";
            break;
        case WM_CLOSE:
            posted += "close; ";
            break;
        default:
            break;
        }
    }
    return posted;
}

// An event as the display delivers it to a widget's window.
void deliver(GdkEvent* event, GtkWidget* widget)
{
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    event->any.send_event = TRUE;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    gdk_event_set_device(event, event->type == GDK_KEY_PRESS ? gdk_seat_get_keyboard(seat) : gdk_seat_get_pointer(seat));
    gtk_main_do_event(event);
    gdk_event_free(event);
    settle();
}

GdkEvent* button(GdkEventType type, double x, double y, guint state)
{
    GdkEvent* event = gdk_event_new(type);
    event->button.button = GDK_BUTTON_PRIMARY;
    event->button.x = x;
    event->button.y = y;
    event->button.state = state;
    return event;
}

TEST_F(DesktopWindow, KeysReachTheConsoleAsItsCharactersAndKeyMessages)
{
    postedInput();
    const struct {
        guint keyval;
        GdkModifierType modifiers;
        const char* posted;
    } keys[] = {
        {GDK_KEY_s, GDK_CONTROL_MASK, "char 19; "}, {GDK_KEY_c, GDK_CONTROL_MASK, "char 3; "},
        {GDK_KEY_Return, GdkModifierType(0), "char 13; "}, {GDK_KEY_BackSpace, GdkModifierType(0), "char 8; "},
        {GDK_KEY_Tab, GdkModifierType(0), "char 9; "},   {GDK_KEY_Escape, GdkModifierType(0), "char 27; "},
        {GDK_KEY_a, GdkModifierType(0), "char 97; "},    {GDK_KEY_A, GDK_SHIFT_MASK, "char 65; "},
        {GDK_KEY_Page_Down, GdkModifierType(0), "key 34; "}, {GDK_KEY_Up, GdkModifierType(0), "key 38; "},
    };
    for (const auto& k : keys) {
        GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
        event->key.time = GDK_CURRENT_TIME;
        event->key.keyval = k.keyval;
        event->key.state = k.modifiers;
        deliver(event, view->window);
        EXPECT_EQ(postedInput(), k.posted) << gdk_keyval_name(k.keyval);
    }
}

TEST_F(DesktopWindow, TheMouseTheWheelTheScrollBarAndTheCloseBoxReachTheConsoleAsItsMessages)
{
    postedInput();
    deliver(button(GDK_BUTTON_PRESS, 20, 30, 0), view->area);
    GdkEvent* motion = gdk_event_new(GDK_MOTION_NOTIFY);
    motion->motion.x = -7;   // the button is held: the drag goes on outside
    motion->motion.y = 45.5;
    deliver(motion, view->area);
    deliver(button(GDK_BUTTON_RELEASE, -7, 45.5, 0), view->area);
    deliver(button(GDK_BUTTON_PRESS, 60, 10, GDK_SHIFT_MASK), view->area);
    EXPECT_EQ(postedInput(), "down 20 30; move -7 45 button; up -7 45; down 60 10 shift; ");
    deliver(button(GDK_BUTTON_RELEASE, 60, 10, 0), view->area);
    postedInput();

    GdkEvent* wheel = gdk_event_new(GDK_SCROLL);
    wheel->scroll.direction = GDK_SCROLL_DOWN;
    deliver(wheel, view->area);
    EXPECT_EQ(postedInput(), "scroll 1 0; scroll 1 0; scroll 1 0; ");

    gboolean handled = FALSE;
    g_signal_emit_by_name(view->scrollBar, "change-value", GTK_SCROLL_PAGE_FORWARD, 3.0, &handled);
    g_signal_emit_by_name(view->scrollBar, "change-value", GTK_SCROLL_STEP_BACKWARD, 3.0, &handled);
    g_signal_emit_by_name(view->scrollBar, "change-value", GTK_SCROLL_JUMP, 6.6, &handled);
    EXPECT_FALSE(handled);   // the thumb follows the drag
    g_signal_emit_by_name(view->scrollBar, "change-value", GTK_SCROLL_JUMP, 9.2, &handled);
    GdkEvent* release = button(GDK_BUTTON_RELEASE, 1, 1, 0);
    release->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(view->scrollBar)));
    gdk_event_set_device(release, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default())));
    gtk_widget_event(view->scrollBar, release);   // the drag ends on the bar
    gdk_event_free(release);
    EXPECT_EQ(postedInput(), "scroll 3 0; scroll 0 0; scroll 5 7; scroll 5 9; scroll 4 9; scroll 8 0; ");

    gtk_window_close(GTK_WINDOW(view->window));
    settle();
    EXPECT_EQ(postedInput(), "close; ");
}

int cancelPresses;
intptr_t countCommands(plHwnd, uint32_t message, plWparam wParam, plLparam)
{
    if (message == WM_COMMAND && plLoWord(wParam) == IDCANCEL) ++cancelPresses;
    return message == WM_INITDIALOG || message == WM_COMMAND;
}

TEST_F(DesktopWindow, TheCancelDialogIsARealDialogWithTheTemplatesTextsAndItsButton)
{
    cancelPresses = 0;
    plHwnd dialog = plCreateDialogParam(plGetModuleHandle(nullptr), "PrintDlgBox", consoleWindow, countCommands, 0);
    ASSERT_NE(dialog, nullptr);
    plSetDlgItemText(dialog, cancelTitleItem, "report.txt");
    pwPresent();
    settle();
    gw::View* shown = gw::viewOf(dialog);
    ASSERT_TRUE(shown && shown->window);
    EXPECT_TRUE(gtk_widget_get_visible(shown->window));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(shown->window)), "Vellomex");
    std::string labels;
    for (const gw::DialogLabel& label : shown->labels) labels += std::string(gtk_label_get_text(GTK_LABEL(label.label))) + "|";
    EXPECT_EQ(labels, "Printing|report.txt|");
    GtkWidget* cancel = gtk_dialog_get_widget_for_response(GTK_DIALOG(shown->window), IDCANCEL);
    ASSERT_NE(cancel, nullptr);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(cancel)), "Cancel");
    gtk_button_clicked(GTK_BUTTON(cancel));
    pwPump();
    EXPECT_EQ(cancelPresses, 1);
    plDestroyWindow(dialog);
    EXPECT_EQ(gw::viewOf(dialog), nullptr);
}

std::string boxText;
gboolean answerBox(gpointer)
{
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        if (!GTK_IS_MESSAGE_DIALOG(w->data) || !gtk_widget_get_visible(GTK_WIDGET(w->data))) continue;
        gchar* text = nullptr;
        g_object_get(w->data, "text", &text, nullptr);
        boxText = text ? text : "";
        g_free(text);
        gtk_dialog_response(GTK_DIALOG(w->data), IDCANCEL);
        g_list_free(windows);
        return G_SOURCE_REMOVE;
    }
    g_list_free(windows);
    return G_SOURCE_CONTINUE;
}

TEST_F(DesktopWindow, TheSessionsLogoutQueryIsTheConsolesShutdownQuery)
{
    ASSERT_NE(gw::state.application, nullptr);
    boxText.clear();
    g_signal_emit_by_name(gw::state.application, "query-end");
    EXPECT_EQ(boxText, "");   // nothing written: no question
    write("unsaved\r\n");
    const guint source = g_timeout_add(10, answerBox, nullptr);
    g_signal_emit_by_name(gw::state.application, "query-end");
    EXPECT_EQ(boxText, "Do you wish to save Vellomex.txt before quitting?");
    if (boxText.empty()) g_source_remove(source);
}

}  // namespace

namespace {

// The selection as the window system reads it back (the Copy command with
// the clipboard diverted), offered as PRIMARY, and the same window as an
// accessibility client reads it: its text, caret and selection follow the
// frames.
TEST_F(DesktopWindow, TheSelectionIsReadBackForPrimaryAndTheAccessibleTextFollowsTheFrames)
{
    GtkClipboard* desktopClipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
    gtk_clipboard_set_text(desktopClipboard, "sentinel", -1);
    write("one\r\ntwo\r\n");
    pwPresent();
    settle();

    AtkObject* accessible = gtk_widget_get_accessible(view->area);
    ASSERT_TRUE(ATK_IS_TEXT(accessible));
    EXPECT_EQ(atk_object_get_role(accessible), ATK_ROLE_TERMINAL);
    EXPECT_STREQ(atk_object_get_name(accessible), "Vellomex Text Window");
    AtkText* text = ATK_TEXT(accessible);
    gchar* shown = atk_text_get_text(text, 0, -1);
    EXPECT_STREQ(shown, "one\ntwo\n");   // the caret's empty row ends it
    g_free(shown);
    EXPECT_EQ(atk_text_get_caret_offset(text), 8);
    EXPECT_EQ(atk_text_get_n_selections(text), 0);

    std::string copied = "unchanged";
    EXPECT_EQ(pwCommandText(consoleWindow, gwEditCopy, &copied), 0);   // nothing selected
    EXPECT_EQ(copied, "unchanged");

    int inserted = 0;
    const gulong handler = g_signal_connect(accessible, "text-changed::insert",
                                            G_CALLBACK(+[](AtkObject*, gint, gint, gpointer count) {
                                                ++*static_cast<int*>(count);
                                            }),
                                            &inserted);
    plSendMessage(consoleWindow, WM_COMMAND, 20, 0);   // Select All
    ASSERT_EQ(pwCommandText(consoleWindow, gwEditCopy, &copied), 1);
    EXPECT_EQ(copied, "one\r\ntwo\r\n");
    pwPresent();
    settle();
    gchar* primary = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_PRIMARY));
    EXPECT_STREQ(primary, "one\ntwo\n");
    g_free(primary);
    gchar* kept = gtk_clipboard_wait_for_text(desktopClipboard);
    EXPECT_STREQ(kept, "sentinel");   // the clipboard is not touched
    g_free(kept);

    int start = -1, end = -1;
    ASSERT_EQ(atk_text_get_n_selections(text), 1);
    gchar* selected = atk_text_get_selection(text, 0, &start, &end);
    EXPECT_STREQ(selected, "one\ntwo");   // the highlighted cells
    g_free(selected);

    write("three");
    pwPresent();
    settle();
    shown = atk_text_get_text(text, 0, -1);
    EXPECT_STREQ(shown, "one\ntwo\nthree");
    g_free(shown);
    EXPECT_EQ(inserted, 1);   // once for the frame
    gint lineStart = 0, lineEnd = 0;
    gchar* line = atk_text_get_string_at_offset(text, 5, ATK_TEXT_GRANULARITY_LINE, &lineStart, &lineEnd);
    EXPECT_STREQ(line, "two\n");
    g_free(line);
    g_signal_handler_disconnect(accessible, handler);
}

}  // namespace
