// The console's resources as data: the menu bar and keyboard shortcuts
// "Vellomex" and the printing cancel dialog "PrintDlgBox".  A native build
// compiles the same tables into real resources; here they are handed to the
// window system once at start-up.
#include "console/console.h"

namespace {

// The character Ctrl plus a letter produces.
constexpr uint16_t ctrlKey(char letter) { return static_cast<uint16_t>(letter & 0x1F); }

// The menu bar.  A popup header carries MF_POPUP and is followed by its items;
// the last item of a popup, and the last popup of the bar, carry MF_END.
const plMenuTemplateItem consoleMenu[] = {
    {MF_POPUP, 0, "&File"},
    {MF_GRAYED, commandNew, "&New\tCtr+N"},
    {MF_GRAYED, commandOpen, "&Open\tCtrl+O"},
    {MF_GRAYED, commandClose, "&Close\tCtrl+W"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_ENABLED, commandSave, "&Save\tCtrl+S"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_ENABLED, commandPrint, "&Print\tCtrl+P"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_ENABLED | MF_END, commandExit, "E&xit\tAlt+F4"},
    {MF_POPUP | MF_END, 0, "&Edit"},
    {MF_GRAYED, commandUndo, "&Undo\tCtrl+Z"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_GRAYED, commandCut, "Cu&t\tCtrl+X"},
    {MF_GRAYED, commandCopy, "&Copy\tCtrl+C"},
    {MF_GRAYED, commandPaste, "&Paste\tCtrl+V"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_ENABLED | MF_END, commandSelectAll, "Select A&ll\tCtrl+A"},
};

// Each shortcut is the control character that Ctrl plus the letter produces,
// with no virtual-key or modifier flags.  Ctrl+C is not here: the character
// handler routes it.
const plAccelEntry consoleShortcuts[] = {
    {0, ctrlKey('N'), commandNew},   {0, ctrlKey('O'), commandOpen}, {0, ctrlKey('S'), commandSave},
    {0, ctrlKey('P'), commandPrint}, {0, ctrlKey('Z'), commandUndo}, {0, ctrlKey('W'), commandClose},
    {0, ctrlKey('X'), commandCut},   {0, ctrlKey('V'), commandPaste}, {0, ctrlKey('A'), commandSelectAll},
};

// The small modeless dialog shown while printing: the document title at
// item 10 and a Cancel button.  Any command from it cancels the job.
const plDialogItemTemplate printDialogItems[] = {
    {plDialogStatic, 0xFFFF, "Printing", 10, 6, 120, 8},
    {plDialogStatic, cancelTitleItem, "", 10, 16, 120, 8},
    {plDialogButton, IDCANCEL, "Cancel", 45, 30, 50, 14},
};
const plDialogTemplate printDialogBox = {
    "Vellomex", 40, 40, 140, 52,
    static_cast<int>(sizeof printDialogItems / sizeof printDialogItems[0]), printDialogItems,
};

}  // namespace

void registerConsoleResources(plHinstance instance)
{
    plAddMenuResource(instance, "Vellomex", consoleMenu,
                      static_cast<int>(sizeof consoleMenu / sizeof consoleMenu[0]));
    plAddAcceleratorResource(instance, "Vellomex", consoleShortcuts,
                             static_cast<int>(sizeof consoleShortcuts / sizeof consoleShortcuts[0]));
    plAddDialogResource(instance, "PrintDlgBox", &printDialogBox);
}
