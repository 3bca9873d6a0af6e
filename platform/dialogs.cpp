// Message boxes, the save and print dialogs, and modeless dialogs made from
// registered templates.
//
// Modal boxes and the common dialogs are answered by the front end at once:
// each takes the next queued answer (asking the front end's answer handler
// when none is queued).  The answer is final; the save dialog's overwrite
// question, for instance, is part of the answer the front end gives.
#include <cstring>

#include "platform/portable.h"

namespace ws {

std::vector<Answer> answers;
std::vector<hlBoxRecord> boxes;
hlSaveRequest lastSaveRequest;
struct plPrintDlg lastPrintRequest;
int printDialogCount = 0;
plHwnd lastDialog = nullptr;

static const char* kindName(hlAnswerKind kind)
{
    switch (kind) {
    case hlAnswerBox:
        return "message box";
    case hlAnswerSaveDialog:
        return "save dialog";
    case hlAnswerPrintDialog:
        return "print dialog";
    }
    return "dialog";
}

static bool takeAnswer(hlAnswerKind kind, const char* what, Answer* out)
{
    if (answers.empty() && frontEnd.answer) frontEnd.answer(kind);
    if (answers.empty()) {
        failf("%s %s opened with no answer", kindName(kind), what);
        return false;
    }
    if (answers.front().kind != kind) {
        failf("%s %s opened but the next answer is for a %s", kindName(kind), what, kindName(answers.front().kind));
        return false;
    }
    *out = answers.front();
    answers.erase(answers.begin());
    return true;
}

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

void resetDialogs()
{
    answers.clear();
    boxes.clear();
    lastSaveRequest = hlSaveRequest{};
    lastPrintRequest = {};
    printDialogCount = 0;
    lastDialog = nullptr;
}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Message boxes and the beep.

int plMessageBox(plHwnd, const char* text, const char* caption, uint32_t type)
{
    boxes.push_back(hlBoxRecord{caption ? caption : "Error", text ? text : "", type, 0});
    size_t index = boxes.size() - 1;
    std::string what = "\"" + boxes[index].caption + "\" \"" + boxes[index].text + "\"";
    Answer answer{};
    if (!takeAnswer(hlAnswerBox, what.c_str(), &answer)) return 0;
    if (!boxOffers(type, answer.box)) {
        failf("message box %s has no button for the answer %d", what.c_str(), answer.box);
        return 0;
    }
    boxes[index].answer = answer.box;
    return answer.box;
}

void plMessageBeep(uint32_t)
{
    ++beepCount;
}

// ---------------------------------------------------------------------------
// The save dialog.  The answer's path goes into the file buffer, with the
// default extension added when the file name has none; its file-name part
// goes into the title buffer.  A path that does not fit fails the dialog.

int plGetSaveFileName(plOpenFileName* request)
{
    if (!request) return 0;
    hlSaveRequest& r = lastSaveRequest;
    r = hlSaveRequest{};
    r.shown = 1;
    r.owner = request->owner;
    if (request->filter) {
        for (const char* p = request->filter; *p; p += std::strlen(p) + 1) {
            r.filters += p;
            r.filters += '|';
        }
    }
    r.filterIndex = request->filterIndex;
    r.maxFile = request->maxFile;
    r.maxFileTitle = request->maxFileTitle;
    r.flags = request->flags;
    r.defExt = request->defExt ? request->defExt : "";
    r.hasTitle = request->title != nullptr;
    r.hasInitialDir = request->initialDir != nullptr;

    Answer answer{};
    if (!takeAnswer(hlAnswerSaveDialog, "", &answer) || answer.cancel) return 0;
    std::string path = answer.path;
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
// The print dialog.  On OK the answer may change the copies, the collation
// and the page range; a device context for the virtual printer is returned
// when PD_RETURNDC asks for one, the answer does not refuse it and a printer
// exists (with no printer, OK still returns nonzero without a context).

int plPrintDlg(struct plPrintDlg* request)
{
    if (!request) return 0;
    lastPrintRequest = *request;
    ++printDialogCount;
    Answer answer{};
    if (!takeAnswer(hlAnswerPrintDialog, "", &answer) || !answer.print.ok) return 0;
    const hlPrintAnswer& a = answer.print;
    if (a.copies > 0) request->copies = static_cast<uint16_t>(a.copies);
    if (a.collate == 0) request->flags &= ~PD_COLLATE;
    if (a.collate == 1) request->flags |= PD_COLLATE;
    if (a.toPage > 0) {
        request->flags |= PD_PAGENUMS;
        request->fromPage = static_cast<uint16_t>(a.fromPage);
        request->toPage = static_cast<uint16_t>(a.toPage);
    } else {
        request->flags &= ~PD_PAGENUMS;
    }
    request->hdc = nullptr;
    if ((request->flags & PD_RETURNDC) && !a.noDc && frontEnd.printer.present) request->hdc = createPrinterDc();
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
    lastDialog = dialog;
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

namespace ws {

plHwnd firstButton(plHwnd dialog)
{
    plHwnd chosen = nullptr;
    uint64_t order = 0;
    for (int i = 0; i < maxWindows; ++i) {
        const Window& w = windows[i];
        if (!w.used || !w.alive || w.kind != windowControl || w.parent != dialog || w.controlKind != plDialogButton) {
            continue;
        }
        if (!chosen || w.order < order) {
            chosen = handleOf(i);
            order = w.order;
        }
    }
    return chosen;
}

}  // namespace ws
