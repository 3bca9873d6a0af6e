// Message boxes, the save dialog and the modeless dialogs on the desktop.
//
// A box with no owner window comes from the runtime's fatal-error paths,
// perhaps from a signal handler after a processor fault, where GTK must not
// be called: this program is started again as a helper that shows only that
// box and exits with the answer, and the box's caller waits for it.
#include <errno.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

const char boxHelperOption[] = "--rastrel-message-box";

namespace {

const char defaultSaveCaption[] = "Save As";
const GtkDialogFlags modalFlags = static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT);
const char untitledName[] = "untitled";

struct BoxButton {
    const char* label;
    int answer;
};

// The box's buttons, the affirmative one last as the desktop places it, and
// the answer that closing the box (Esc) gives: 0 when it cannot be closed
// without a button.
int buttonsFor(uint32_t type, BoxButton* buttons, int* defaultAnswer, int* closeAnswer)
{
    switch (type & 0xFu) {
    case MB_OKCANCEL:
        buttons[0] = BoxButton{"_Cancel", IDCANCEL};
        buttons[1] = BoxButton{"_OK", IDOK};
        *defaultAnswer = IDOK;
        *closeAnswer = IDCANCEL;
        return 2;
    case MB_YESNOCANCEL:
        buttons[0] = BoxButton{"_Cancel", IDCANCEL};
        buttons[1] = BoxButton{"_No", IDNO};
        buttons[2] = BoxButton{"_Yes", IDYES};
        *defaultAnswer = IDYES;
        *closeAnswer = IDCANCEL;
        return 3;
    case MB_YESNO:
        buttons[0] = BoxButton{"_No", IDNO};
        buttons[1] = BoxButton{"_Yes", IDYES};
        *defaultAnswer = IDYES;
        *closeAnswer = 0;
        return 2;
    case 5:   // retry, cancel
        buttons[0] = BoxButton{"_Cancel", IDCANCEL};
        buttons[1] = BoxButton{"_Retry", IDRETRY};
        *defaultAnswer = IDRETRY;
        *closeAnswer = IDCANCEL;
        return 2;
    case 2:   // abort, retry, ignore
        buttons[0] = BoxButton{"_Abort", IDABORT};
        buttons[1] = BoxButton{"_Ignore", IDIGNORE};
        buttons[2] = BoxButton{"_Retry", IDRETRY};
        *defaultAnswer = IDABORT;
        *closeAnswer = 0;
        return 3;
    default:
        buttons[0] = BoxButton{"_OK", IDOK};
        *defaultAnswer = IDOK;
        *closeAnswer = IDOK;
        return 1;
    }
}

GtkMessageType messageTypeFor(uint32_t type)
{
    switch (type & 0xF0u) {
    case MB_ICONHAND:
        return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
        return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION:
        return GTK_MESSAGE_WARNING;
    case MB_ICONASTERISK:
        return GTK_MESSAGE_INFO;
    default:
        return GTK_MESSAGE_OTHER;
    }
}

// Decimal digits of a small number, without the C library (a signal
// handler may be the caller).
void putNumber(char* out, unsigned value)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value && count < 11);
    while (count > 0) *out++ = digits[--count];
    *out = '\0';
}

// The box shown by a helper process; its answer is the helper's status.
int boxFromHelper(const char* text, const char* caption, uint32_t type)
{
    char typeText[12];
    putNumber(typeText, type);
    const char* arguments[] = {"rastrel", "--window", boxHelperOption, typeText, caption, text, nullptr};
    const pid_t child = fork();
    if (child < 0) return 0;
    if (child == 0) {
        execv("/proc/self/exe", const_cast<char* const*>(arguments));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return 0;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) return 0;
    return WEXITSTATUS(status);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The path with the default extension added when its file name has none, as
// the save dialog's caller would add it.
std::string withExtension(const std::string& path, const char* extension)
{
    size_t nameStart = path.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (!extension || !extension[0] || path.find('.', nameStart) != std::string::npos) return path;
    return path + "." + extension;
}

bool confirmReplace(GtkWindow* parent, const std::string& path)
{
    gchar* name = g_filename_display_basename(path.c_str());
    GtkWidget* box = gtk_message_dialog_new(parent, modalFlags, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE,
                                            "A file named \xE2\x80\x9C%s\xE2\x80\x9D already exists.  Do you want to replace it?",
                                            name);
    g_free(name);
    gtk_dialog_add_buttons(GTK_DIALOG(box), "_Cancel", GTK_RESPONSE_CANCEL, "_Replace", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_CANCEL);
    const int answer = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return answer == GTK_RESPONSE_ACCEPT;
}

// The request's filters: pairs of a name and patterns separated by ';'.
// "*.*" means every file, as it does in the request.
void addFilters(GtkFileChooser* chooser, const char* filters, uint32_t index)
{
    if (!filters) return;
    GtkFileFilter* chosen = nullptr;
    uint32_t number = 0;
    for (const char* p = filters; *p;) {
        const char* name = p;
        p += std::strlen(p) + 1;
        const char* patterns = p;
        if (!*patterns) break;
        p += std::strlen(p) + 1;
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, gwFromAnsiText(name, std::strlen(name)).c_str());
        gchar** each = g_strsplit(patterns, ";", -1);
        for (gchar** pattern = each; *pattern; ++pattern) {
            if (std::strcmp(*pattern, "*.*") == 0) {
                gtk_file_filter_add_pattern(filter, "*");
                continue;
            }
            gtk_file_filter_add_pattern(filter, *pattern);
            gchar* upper = g_ascii_strup(*pattern, -1);
            gtk_file_filter_add_pattern(filter, upper);
            g_free(upper);
        }
        g_strfreev(each);
        gtk_file_chooser_add_filter(chooser, filter);
        // The index counts from 1; 0 takes the first.
        if (++number == (index > 0 ? index : 1)) chosen = filter;
    }
    if (chosen) gtk_file_chooser_set_filter(chooser, chosen);
}

void onDialogResponse(GtkDialog*, gint response, gpointer data)
{
    View* view = static_cast<View*>(data);
    if (response > 0 && pwPressDialogButton(view->handle, static_cast<uint16_t>(response))) noteInput();
}

// A dialog's close box asks it to close, which its procedure may refuse.
gboolean onDialogDelete(GtkWidget*, GdkEvent*, gpointer data)
{
    View* view = static_cast<View*>(data);
    pwClose(view->handle);
    noteInput();
    return TRUE;
}

std::string itemText(const std::string& text)
{
    return gwMenuLabel(text.c_str(), nullptr);
}

}  // namespace

int showBox(GtkWindow* parent, const char* text, const char* caption, uint32_t type)
{
    BoxButton buttons[3];
    int defaultAnswer = IDOK;
    int closeAnswer = IDOK;
    const int count = buttonsFor(type, buttons, &defaultAnswer, &closeAnswer);
    const std::string message = gwFromAnsiText(text, std::strlen(text));
    GtkWidget* box = gtk_message_dialog_new(parent, parent ? modalFlags : GTK_DIALOG_MODAL, messageTypeFor(type), GTK_BUTTONS_NONE, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), gwFromAnsiText(caption, std::strlen(caption)).c_str());
    for (int i = 0; i < count; ++i) gtk_dialog_add_button(GTK_DIALOG(box), buttons[i].label, buttons[i].answer);
    gtk_dialog_set_default_response(GTK_DIALOG(box), defaultAnswer);
    if (!parent) {
        gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
        gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    }
    gtk_window_set_deletable(GTK_WINDOW(box), closeAnswer != 0);
    int answer = 0;
    for (;;) {
        answer = gtk_dialog_run(GTK_DIALOG(box));
        if (answer > 0) break;
        if (closeAnswer != 0) {
            answer = closeAnswer;
            break;
        }
        // Yes/No and the like have no way out but their buttons.
    }
    gtk_widget_destroy(box);
    return answer;
}

int messageBox(plHwnd owner, const char* text, const char* caption, uint32_t type)
{
    if (!owner) return boxFromHelper(text, caption, type);
    return showBox(parentFor(owner), text, caption, type);
}

void runBoxHelper(int argc, char** argv)
{
    if (argc < 5 || !gtkAvailable()) std::_Exit(0);
    const uint32_t type = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
    std::_Exit(showBox(nullptr, argv[4], argv[3], type));
}

int saveDialog(const plOpenFileName* request, char* path, size_t size)
{
    GtkWindow* parent = parentFor(request->owner);
    const std::string caption = request->title ? gwFromAnsiText(request->title, std::strlen(request->title)) : defaultSaveCaption;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(caption.c_str(), parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                                    GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    // The overwrite question is asked below, once the default extension is
    // on the name, so that it asks about the file that will be written.
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    addFilters(chooser, request->filter, request->filterIndex);

    const std::string given = request->file ? request->file : "";
    gchar* folder = nullptr;
    if (request->initialDir && request->initialDir[0]) {
        folder = g_strdup(request->initialDir);
    } else if (given.find('/') != std::string::npos) {
        folder = g_path_get_dirname(given.c_str());
    } else {
        folder = g_get_current_dir();
    }
    gtk_file_chooser_set_current_folder(chooser, folder);
    g_free(folder);
    std::string name = given.empty() ? untitledName : given.substr(given.find_last_of('/') + 1);
    if (given.empty() && request->defExt && request->defExt[0]) name += std::string(".") + request->defExt;
    gtk_file_chooser_set_current_name(chooser, name.c_str());

    int chosen = 0;
    while (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        gchar* filename = gtk_file_chooser_get_filename(chooser);
        if (!filename) continue;   // not a local file
        const std::string target = withExtension(filename, request->defExt);
        g_free(filename);
        if ((request->flags & OFN_OVERWRITEPROMPT) && exists(target) && !confirmReplace(GTK_WINDOW(dialog), target)) {
            continue;
        }
        if (target.size() + 1 > size) break;
        std::memcpy(path, target.c_str(), target.size() + 1);
        chosen = 1;
        break;
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

void buildDialogView(View* view)
{
    GtkWidget* dialog = gtk_dialog_new();
    view->window = dialog;
    char caption[256] = "";
    plGetWindowText(view->handle, caption, sizeof caption);
    gtk_window_set_title(GTK_WINDOW(dialog), gwFromAnsiText(caption, std::strlen(caption)).c_str());
    GtkWindow* parent = parentFor(plGetParent(view->handle));
    if (parent) gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    // A dialog whose Close item is grayed has no close box.
    plHmenu system = plGetSystemMenu(view->handle, 0);
    const int closeState = system ? pwMenuItemState(system, static_cast<uint16_t>(SC_CLOSE)) : -1;
    gtk_window_set_deletable(GTK_WINDOW(dialog), closeState < 0 || (closeState & (MF_GRAYED | MF_DISABLED)) == 0);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_set_border_width(GTK_CONTAINER(content), 12);
    gtk_box_set_spacing(GTK_BOX(content), 6);
    pwDialogItemInfo item{};
    for (int i = 0; pwDialogItem(view->handle, i, &item); ++i) {
        if (item.kind == plDialogButton) {
            gtk_dialog_add_button(GTK_DIALOG(dialog), itemText(item.text).c_str(), item.id);
            continue;
        }
        GtkWidget* label = gtk_label_new(gwFromAnsiText(item.text.data(), item.text.size()).c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_box_pack_start(GTK_BOX(content), label, FALSE, FALSE, 0);
        view->labels.push_back(DialogLabel{item.id, label});
    }
    g_signal_connect(dialog, "response", G_CALLBACK(onDialogResponse), view);
    g_signal_connect(dialog, "delete-event", G_CALLBACK(onDialogDelete), view);
}

void syncDialogView(View* view)
{
    if (!view->window) {
        // A dialog is shown as soon as it is made, before its items are: it
        // is built once they are there.
        if (!view->showPending) return;
        buildDialogView(view);
        gtk_widget_show_all(view->window);
    }
    char caption[256] = "";
    plGetWindowText(view->handle, caption, sizeof caption);
    const std::string title = gwFromAnsiText(caption, std::strlen(caption));
    const gchar* shown = gtk_window_get_title(GTK_WINDOW(view->window));
    if (!shown || title != shown) gtk_window_set_title(GTK_WINDOW(view->window), title.c_str());
    pwDialogItemInfo item{};
    for (int i = 0; pwDialogItem(view->handle, i, &item); ++i) {
        for (const DialogLabel& label : view->labels) {
            if (label.id != item.id) continue;
            const std::string text = gwFromAnsiText(item.text.data(), item.text.size());
            if (text != gtk_label_get_text(GTK_LABEL(label.label))) gtk_label_set_text(GTK_LABEL(label.label), text.c_str());
        }
    }
}

}  // namespace gw
