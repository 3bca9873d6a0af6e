// Console printing.  (Placeholder until the printing part is built.)
#include "console/console.h"

int printTranscript(plHinstance, plHwnd, const char*, ConsoleStateRecord) { return 1; }
intptr_t printCancelProc(plHwnd, uint32_t, plWparam, plLparam) { return 0; }
int printAbortProc(plHdc, int) { return 1; }
plHdc openDefaultPrinter(plHwnd) { return nullptr; }
