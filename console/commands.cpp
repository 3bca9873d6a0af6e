// Console commands: the File and Edit menus, the clipboard, saving the
// transcript, and the close protocol that offers to save before the window
// goes away.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/console.h"
#include "runtime/runtime.h"

char savePath[1024];
char saveTitle[260];

namespace {

const char appCaption[] = "Vellomex";

// The save dialog's filter list: three description/pattern pairs, ended by an
// empty string.
const char saveFilters[] =
    "Text Files (*.TXT)\0*.txt\0"
    "ASCII Files (*.ASC)\0*.asc\0"
    "All Files (*.*)\0*.*\0";

plOpenFileName saveRequest;

// The private copy of pasted text.  Held in a global so that a paste which is
// abandoned half-way (a pasted Ctrl+C interrupts the application) is released
// by the next one.
plHglobal pasteBlock;

void warn(plHwnd window, const char* text)
{
    plMessageBox(window, text, appCaption, warningBox);
}

int selectionPresent()
{
    return ConsoleState.selStart != nullptr && ConsoleState.selEnd != nullptr &&
           ConsoleState.selStart <= ConsoleState.selEnd;
}

int saveCommand(plHwnd window)
{
    if (savePath[0] == '\0') {
        saveRequest.owner = window;
        saveRequest.file = savePath;
        saveRequest.maxFile = sizeof savePath;
        saveRequest.fileTitle = saveTitle;
        saveRequest.maxFileTitle = sizeof saveTitle;
        saveRequest.flags = OFN_OVERWRITEPROMPT;
        if (!plGetSaveFileName(&saveRequest)) {
            // Whatever the dialog left in the buffers, nothing has been chosen.
            savePath[0] = '\0';
            saveTitle[0] = '\0';
            return 0;
        }
        savePath[sizeof savePath - 1] = '\0';
        saveTitle[sizeof saveTitle - 1] = '\0';
        char title[300];
        std::snprintf(title, sizeof title, "%s - %s", appCaption, saveTitle[0] != '\0' ? saveTitle : "untitled");
        plSetWindowText(window, title);
    }
    if (writeTranscript(savePath)) {
        ConsoleState.modified = 0;
        return 1;
    }
    char text[320];
    std::snprintf(text, sizeof text, "Could not write to file %s", saveTitle);
    warn(window, text);
    return 0;
}

// Copy, and Cut when cut is set: the selected bytes go to the clipboard as
// plain text, unchanged; Cut then removes them from the transcript.
void copySelection(plHwnd window, int cut)
{
    if (!selectionPresent()) {
        return;
    }
    char* start = ConsoleState.selStart;
    char* end = ConsoleState.selEnd;
    const size_t length = static_cast<size_t>(end - start);

    plHglobal block = plGlobalAlloc(GHND, length + 1);
    char* copy = block != nullptr ? static_cast<char*>(plGlobalLock(block)) : nullptr;
    if (copy == nullptr) {
        if (block != nullptr) {
            plGlobalFree(block);
        }
        warn(window, "Could not get memory for clipboard");
        return;
    }
    std::memcpy(copy, start, length);
    copy[length] = '\0';
    plGlobalUnlock(block);

    // The text is removed only once the clipboard has taken it.
    int handedOver = 0;
    if (plOpenClipboard(window)) {
        plEmptyClipboard();
        handedOver = plSetClipboardData(CF_TEXT, block) != nullptr;
        plCloseClipboard();
    }
    if (!handedOver) {
        plGlobalFree(block);
        return;
    }
    if (!cut) {
        return;
    }

    // deleteText counts a CR LF pair as one character.
    int32_t pairs = 0;
    for (const char* p = start; p + 1 < end;) {
        if (p[0] == '\r' && p[1] == '\n') {
            ++pairs;
            p += 2;
        } else {
            ++p;
        }
    }
    deleteText(start, static_cast<int32_t>(length) - pairs);
    ConsoleState.modified = 1;
    positionToRowColumn(start, &caretRow, &caretColumn);
    ConsoleState.selStart = nullptr;
    ConsoleState.selEnd = nullptr;
    plHideCaret(window);
    plInvalidateRect(window, nullptr, 1);
    placeCaret(caretRow, caretColumn);
}

// Paste: the clipboard's plain text is typed, with the same result as each
// byte arriving at the character handler, and every CR LF turned into a lone
// CR (Enter).
void pasteText(plHwnd window)
{
    if (pasteBlock != nullptr) {
        plGlobalFree(pasteBlock);
        pasteBlock = nullptr;
    }
    if (!plIsClipboardFormatAvailable(CF_TEXT) || !plOpenClipboard(window)) {
        return;
    }
    plHglobal shared = plGetClipboardData(CF_TEXT);
    const char* text = shared != nullptr ? static_cast<const char*>(plGlobalLock(shared)) : nullptr;
    if (text == nullptr) {
        plCloseClipboard();
        return;
    }
    const size_t size = plGlobalSize(shared);
    plHglobal block = plGlobalAlloc(GMEM_MOVEABLE, size + 1);
    char* copy = block != nullptr ? static_cast<char*>(plGlobalLock(block)) : nullptr;
    if (copy == nullptr) {
        if (block != nullptr) {
            plGlobalFree(block);
        }
        plGlobalUnlock(shared);
        plCloseClipboard();
        warn(window, "Could not get memory for clipboard");
        return;
    }
    // The text ends at its NUL, or at the end of the block if it has none.
    size_t length = 0;
    while (length < size && text[length] != '\0') {
        ++length;
    }
    // Drop every LF that follows a CR, also one left behind by an earlier drop.
    size_t kept = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\n' && kept > 0 && copy[kept - 1] == '\r') {
            continue;
        }
        copy[kept++] = text[i];
    }
    copy[kept] = '\0';
    plGlobalUnlock(shared);
    plCloseClipboard();

    pasteBlock = block;
    inputCharacters(window, copy, kept);
    plGlobalUnlock(block);
    plGlobalFree(block);
    pasteBlock = nullptr;
}

void selectAll(plHwnd window)
{
    ConsoleState.selStart = ConsoleState.textStart;
    ConsoleState.selEnd = ConsoleState.textEnd;
    plInvalidateRect(window, nullptr, 1);
}

void printCommand(plHwnd window)
{
    ConsoleStateRecord snapshot = ConsoleState;
    if (!printTranscript(consoleInstance, window, saveTitle, snapshot)) {
        warn(window, "Could not print output");
    }
}

}  // namespace

void prepareSaveDialog(plHwnd window)
{
    std::memset(&saveRequest, 0, sizeof saveRequest);
    saveRequest.structSize = sizeof saveRequest;
    saveRequest.owner = window;
    saveRequest.filter = saveFilters;
    saveRequest.filterIndex = 0;
    saveRequest.file = savePath;
    saveRequest.maxFile = sizeof savePath;
    saveRequest.fileTitle = saveTitle;
    saveRequest.maxFileTitle = sizeof saveTitle;
    saveRequest.defExt = "txt";
    saveRequest.flags = OFN_OVERWRITEPROMPT;
}

plLresult commandsCommand(plHwnd window, plWparam wParam)
{
    switch (plLoWord(wParam)) {
    case commandSave:
        return saveCommand(window);
    case commandPrint:
        printCommand(window);
        return 0;
    case commandExit:
        plSendMessage(window, WM_CLOSE, 0, 0);
        return 0;
    case commandCut:
        copySelection(window, 1);
        return 0;
    case commandCopy:
        copySelection(window, 0);
        return 0;
    case commandPaste:
        pasteText(window);
        return 0;
    case commandSelectAll:
        selectAll(window);
        return 0;
    default:
        // New, Open, Close and Undo stay grayed; unknown ids are ignored.
        return 0;
    }
}

plLresult commandsInitMenuPopup(plHwnd window, plWparam wParam, plLparam lParam)
{
    // Only the Edit popup of the menu bar (position 1, not the system menu).
    if (lParam != 1) {
        return plDefWindowProc(window, WM_INITMENUPOPUP, wParam, lParam);
    }
    plHmenu popup = reinterpret_cast<plHmenu>(wParam);
    const uint32_t selection = selectionPresent() ? MF_ENABLED : MF_GRAYED;
    plEnableMenuItem(popup, commandCut, MF_BYCOMMAND | selection);
    plEnableMenuItem(popup, commandCopy, MF_BYCOMMAND | selection);
    plEnableMenuItem(popup, commandPaste,
                     MF_BYCOMMAND | (plIsClipboardFormatAvailable(CF_TEXT) ? MF_ENABLED : MF_GRAYED));
    return 0;
}

plLresult commandsClose(plHwnd window)
{
    if (ConsoleState.modified && ConsoleSettings.askToSave && confirmSave(window, saveTitle) == IDCANCEL) {
        return 0;
    }
    plDestroyWindow(window);
    return 0;
}

plLresult commandsQueryEndSession(plHwnd window)
{
    if (ConsoleState.modified && confirmSave(window, saveTitle) == IDCANCEL) {
        return 0;
    }
    return 1;
}

plLresult commandsDestroy(plHwnd)
{
    appFinished = 1;
    plPostQuitMessage(0);
    return 0;
}

int writeTranscript(const char* path)
{
    const char* start = ConsoleState.textStart;
    const char* end = ConsoleState.textEnd;
    const size_t length = start != nullptr && end > start ? static_cast<size_t>(end - start) : 0;
    return rt_replace_file(path, start, length);
}

int confirmSave(plHwnd window, const char* fileName)
{
    const char* name = fileName != nullptr && fileName[0] != '\0' ? fileName : "Vellomex.txt";
    char text[320];
    std::snprintf(text, sizeof text, "Do you wish to save %s before quitting?", name);
    int answer = plMessageBox(window, text, appCaption, questionBox);
    if (answer != IDYES && answer != IDNO) {
        // A box that could not be shown must not let the transcript go unsaved.
        answer = IDCANCEL;
    }
    if (answer == IDYES && plSendMessage(window, WM_COMMAND, commandSave, 0) == 0) {
        answer = IDCANCEL;
    }
    return answer;
}
