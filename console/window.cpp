// The console window's procedure: routes each message to the part of the
// console that handles it.  Every message handled here is answered 0, except
// the command message (Save answers 1 when the file was written) and the
// shutdown query.
#include "console/console.h"

plLresult consoleWindowProc(plHwnd window, uint32_t message, plWparam wParam, plLparam lParam)
{
    switch (message) {
    case WM_CREATE:
        displayCreate(window);
        return 0;
    case WM_SIZE:
        displaySize(lParam);
        return 0;
    case WM_PAINT:
        displayPaint(window);
        return 0;
    case WM_SETFOCUS:
        displaySetFocus();
        return 0;
    case WM_KILLFOCUS:
        displayKillFocus();
        return 0;
    case WM_VSCROLL:
        displayScroll(wParam);
        return 0;
    case WM_KEYDOWN:
        displayKeyDown(wParam);
        return 0;
    case WM_LBUTTONDOWN:
        displayButtonDown(wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        displayButtonUp(lParam);
        return 0;
    case WM_MOUSEMOVE:
        displayMouseMove(wParam, lParam);
        return 0;
    case WM_CHAR:
        inputCharacter(wParam);
        return 0;
    case consoleWriteTextMessage:
        outputWriteText(reinterpret_cast<const char*>(wParam), static_cast<uint32_t>(lParam));
        return 0;
    case WM_COMMAND:
        return commandsCommand(window, wParam);
    case WM_INITMENUPOPUP:
        return commandsInitMenuPopup(window, wParam, lParam);
    case WM_CLOSE:
        return commandsClose(window);
    case WM_QUERYENDSESSION:
        return commandsQueryEndSession(window);
    case WM_DESTROY:
        return commandsDestroy(window);
    default:
        return plDefWindowProc(window, message, wParam, lParam);
    }
}
