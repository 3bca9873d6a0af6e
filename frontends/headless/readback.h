// What the headless front end shows, read back by tests and the scripted
// run's reports: the windows' cells, the caret, scroll bars and menus as the
// window system holds them, and what the front end itself recorded (message
// boxes, fonts asked for, the dialogs' requests, the clipboard, beeps).
#pragma once

#include <string>

#include "frontends/headless/headless.h"

struct hlCellInfo {
    char character;            // 0 when nothing was drawn there since the last erase
    plColor text;
    plColor background;
};
// The cell at window row and column (cells are 8 x 16 pixels); a cell outside
// the surface reads as nothing drawn on the window colour.
hlCellInfo hlCell(plHwnd window, int row, int column);
// A whole window row as text, a space where nothing was drawn.
std::string hlRowText(plHwnd window, int row);
int hlSurfaceRows(plHwnd window);
int hlSurfaceColumns(plHwnd window);

using hlLine = pwLine;
// Lines drawn on the window since its surface was last erased.
int hlSurfaceLineCount(plHwnd window);
hlLine hlSurfaceLine(plHwnd window, int index);

struct hlCaretInfo {
    int exists;
    plHwnd owner;
    int x, y, width, height;
    int shown;
};
hlCaretInfo hlCaret();

using hlScrollInfo = pwScrollInfo;
hlScrollInfo hlScrollBar(plHwnd window, int bar);

std::string hlTitle(plHwnd window);
int hlClientWidth(plHwnd window);
int hlClientHeight(plHwnd window);
// State of an item of the window's menu (MF_ENABLED, MF_GRAYED, MF_DISABLED
// bits), or -1 when there is no such item.
int hlMenuItemState(plHwnd window, uint16_t id);

// The clipboard's plain text, or null when it holds none.
const char* hlClipboardText();
int hlBeepCount();

struct hlBoxRecord {
    std::string caption;
    std::string text;
    uint32_t type;
    int answer;
};
int hlBoxCount();
const hlBoxRecord* hlBox(int index);

using hlFontRequest = pwFontRequest;
int hlFontRequestCount();
hlFontRequest hlLastFontRequest();

// The save dialog's request as the last plGetSaveFileName saw it.
struct hlSaveRequest {
    int shown;
    plHwnd owner;
    std::string filters;       // the filter pairs with '|' in place of each NUL
    uint32_t filterIndex, maxFile, maxFileTitle, flags;
    std::string defExt;
    int hasTitle, hasInitialDir;
};
hlSaveRequest hlLastSaveRequest();
// The print dialog's request as the last plPrintDlg received it.
struct plPrintDlg hlLastPrintRequest();
int hlPrintDialogCount();

// Modeless dialogs.
plHwnd hlLastDialog();                     // the last dialog created (it may be gone)
std::string hlDialogItemText(plHwnd dialog, uint16_t id);
std::string hlDialogCaption(plHwnd dialog);

// Printed documents, in the order they were started.
using hlTextItem = pwTextItem;
using hlPage = pwPage;
using hlDocument = pwDocument;
int hlDocumentCount();
const hlDocument* hlDocumentAt(int index);
