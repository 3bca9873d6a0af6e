// Message boxes, the save and print dialogs, and modeless dialogs made from
// registered templates.
//
// Modal boxes and the common dialogs are the front end's: it shows them and
// answers before the call returns.  The answer is final; the save dialog's
// overwrite question, for instance, is part of the answer the front end
// gives.  The window system checks the answer and fills the caller's record.
#include <cstring>

#include "portable/internal.h"

namespace ws {

static bool boxOffers(uint32_t type, int answer)
{
    switch (type & 0xFu) {
    case MB_OK:
        return answer == IDOK;
    case MB_OKCANCEL:
        return answer == IDOK || answer == IDCANCEL;
    case MB_YESNOCANCEL:
        return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    case MB_YESNO:
        return answer == IDYES || answer == IDNO;
    case 2:   // abort, retry, ignore
        return answer == IDABORT || answer == IDRETRY || answer == IDIGNORE;
    case 5:   // retry, cancel
        return answer == IDRETRY || answer == IDCANCEL;
    default:
        return answer > 0;
    }
}

void resetDialogs() {}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Message boxes and the beep.

int plMessageBox(plHwnd owner, const char* text, const char* caption, uint32_t type)
{
    const char* shownCaption = caption ? caption : "Error";
    const char* shownText = text ? text : "";
    if (!hooks.messageBox) {
        failf("message box \"%s\" \"%s\" opened with no front end to show it", shownCaption, shownText);
        return 0;
    }
    // A window's own box is shown over the window as it now is.  A box with
    // no owner (the runtime's fatal errors) paints nothing: it may come from
    // a fault in the middle of painting.
    if (owner) pwPresent();
    int answer = hooks.messageBox(owner, shownText, shownCaption, type);
    if (answer == 0) return 0;
    if (!boxOffers(type, answer)) {
        failf("message box \"%s\" \"%s\" has no button for the answer %d", shownCaption, shownText, answer);
        return 0;
    }
    return answer;
}

void plMessageBeep(uint32_t type)
{
    if (hooks.beep) hooks.beep(type);
}

// ---------------------------------------------------------------------------
// The save dialog.  The answer's path goes into the file buffer, with the
// default extension added when the file name has none; its file-name part
// goes into the title buffer.  A path that does not fit fails the dialog.

int plGetSaveFileName(plOpenFileName* request)
{
    if (!request) return 0;
    if (!hooks.saveDialog) {
        fail("save dialog opened with no front end to show it");
        return 0;
    }
    pwPresent();
    char chosen[4096] = "";
    if (!hooks.saveDialog(request, chosen, sizeof chosen)) return 0;
    chosen[sizeof chosen - 1] = '\0';
    std::string path = chosen;
    size_t nameStart = path.find_last_of("/\\");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (request->defExt && request->defExt[0] && path.find('.', nameStart) == std::string::npos) {
        path += '.';
        path += request->defExt;
    }
    if (!request->file || path.size() + 1 > request->maxFile) return 0;
    std::string title = path.substr(nameStart);
    if (request->fileTitle && title.size() + 1 > request->maxFileTitle) return 0;
    std::memcpy(request->file, path.c_str(), path.size() + 1);
    if (request->fileTitle) std::memcpy(request->fileTitle, title.c_str(), title.size() + 1);
    request->fileOffset = static_cast<uint16_t>(nameStart);
    size_t dot = path.find_last_of('.');
    request->fileExtension = static_cast<uint16_t>(dot != std::string::npos && dot >= nameStart ? dot + 1 : 0);
    return 1;
}

// ---------------------------------------------------------------------------
// The print dialog.  On OK the front end may have changed the copies, the
// collation and the page range; a device context for the printer it chose is
// returned when PD_RETURNDC asks for one and that printer exists (with no
// printer, OK still returns nonzero without a context).

int plPrintDlg(struct plPrintDlg* request)
{
    if (!request) return 0;
    if (!hooks.printDialog) {
        fail("print dialog opened with no front end to show it");
        return 0;
    }
    pwPresent();
    char printer[128] = "";
    if (!hooks.printDialog(request, printer, sizeof printer)) return 0;
    printer[sizeof printer - 1] = '\0';
    request->hdc = nullptr;
    pwPrinterInfo info{};
    if ((request->flags & PD_RETURNDC) && printer[0] && printerInfo(printer, &info)) {
        request->hdc = createPrinterDc(info);
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Modeless dialogs.  The dialog and each item of its template are windows;
// the dialog is visible at once and takes the keyboard focus after
// WM_INITDIALOG.

plHwnd plCreateDialogParam(plHinstance instance, const char* templateName, plHwnd owner, plDlgProc proc,
                           plLparam param)
{
    const plDialogTemplate* t = findDialogResource(instance, templateName);
    if (!t) {
        lastError = 1814;
        return nullptr;
    }
    plHwnd dialog = createInternalWindow(windowDialog, owner, t->caption, 0, 0, proc);
    if (!dialog) return nullptr;
    plHwnd first = nullptr;
    for (int i = 0; i < t->itemCount; ++i) {
        const plDialogItemTemplate& item = t->items[i];
        plHwnd control = createInternalWindow(windowControl, dialog, item.text, item.id, item.kind, nullptr);
        if (!control) {
            plDestroyWindow(dialog);
            return nullptr;
        }
        if (!first) first = control;
    }
    callProcedure(dialog, WM_INITDIALOG, reinterpret_cast<plWparam>(first), param);
    if (!windowOf(dialog)) return nullptr;
    plSetFocus(dialog);
    return windowOf(dialog) ? dialog : nullptr;
}

static plHwnd findControl(plHwnd dialog, int id)
{
    for (int i = 0; i < maxWindows; ++i) {
        const Window& w = windows[i];
        if (w.used && w.alive && w.kind == windowControl && w.parent == dialog && w.controlId == id) return handleOf(i);
    }
    return nullptr;
}

plHwnd ws::dialogControl(plHwnd dialog, int id)
{
    return findControl(dialog, id);
}

int plSetDlgItemText(plHwnd dialog, int item, const char* text)
{
    Window* control = windowOf(findControl(dialog, item));
    if (!control) {
        lastError = 1421;   // control id not found
        return 0;
    }
    control->title = text ? text : "";
    return 1;
}

// Handles a message for the dialog or one of its items: Enter and Escape
// press OK and Cancel, everything else goes to the window it is for.
int plIsDialogMessage(plHwnd dialog, plMsg* msg)
{
    Window* d = windowOf(dialog);
    if (!d || d->kind != windowDialog || !msg || !msg->hwnd || !isDescendantOrSelf(msg->hwnd, dialog)) return 0;
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == 0x1B)) {
        int id = msg->wParam == VK_RETURN ? IDOK : IDCANCEL;
        callProcedure(dialog, WM_COMMAND, static_cast<plWparam>(plMakeLong(static_cast<unsigned>(id), 0)),
                      reinterpret_cast<plLparam>(findControl(dialog, id)));
        return 1;
    }
    if (msg->message == WM_KEYDOWN) plTranslateMessage(msg);
    plDispatchMessage(msg);
    return 1;
}
