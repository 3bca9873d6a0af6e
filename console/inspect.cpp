// The console read back for tests and reports.
#include "console/inspect.h"

#include "console/console.h"

consoleInspection consoleInspect()
{
    const ConsoleStateRecord& s = ConsoleState;
    consoleInspection view{};
    view.window = consoleWindow && plIsWindow(consoleWindow) ? consoleWindow : nullptr;
    view.text = s.textStart ? s.textStart : "";
    view.textLength = s.textStart ? static_cast<size_t>(s.textEnd - s.textStart) : 0;
    view.pendingInput = s.inputRead ? s.inputRead : "";
    view.pendingLength = s.inputRead ? static_cast<size_t>(s.inputEnd - s.inputRead) : 0;
    view.modified = s.modified;
    view.topRow = s.topRow;
    view.lastRow = s.lastRow;
    view.screenRows = s.screenRows;
    view.screenColumns = s.screenColumns;
    view.caretRow = caretRow;
    view.caretColumn = caretColumn;
    view.selection = s.selStart && s.selEnd ? 1 : 0;
    if (view.selection && s.textStart) {
        view.selectionStart = static_cast<size_t>(s.selStart - s.textStart);
        view.selectionEnd = static_cast<size_t>(s.selEnd - s.textStart);
    }
    return view;
}
