// Console start-up and shutdown.  (Placeholder until the lifecycle part is built.)
#include "console/console.h"

int consoleMain(plHinstance, int) { return 0; }
void consoleExitHook() {}
void interruptHandler(int) {}
void pumpMessages() {}
void setConsoleApplication(consoleApplication, int, char**) {}
