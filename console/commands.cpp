// Console commands: File and Edit menus, clipboard, Save and the close protocol.
// (Placeholder until the commands part is built.)
#include "console/console.h"

char savePath[1024];
char saveTitle[260];

void prepareSaveDialog(plHwnd) {}
plLresult commandsCommand(plHwnd, plWparam) { return 0; }
plLresult commandsInitMenuPopup(plHwnd window, plWparam wParam, plLparam lParam)
{
    return plDefWindowProc(window, WM_INITMENUPOPUP, wParam, lParam);
}
plLresult commandsClose(plHwnd window)
{
    plDestroyWindow(window);
    return 0;
}
plLresult commandsQueryEndSession(plHwnd) { return 1; }
plLresult commandsDestroy(plHwnd)
{
    appFinished = 1;
    plPostQuitMessage(0);
    return 0;
}
int writeTranscript(const char*) { return 0; }
int confirmSave(plHwnd, const char*) { return IDNO; }
