// Standard stream binding of the console's hooks.  (Placeholder.)
#include "console/console.h"

void attachConsoleStreams() {}
void detachConsoleStreams() {}
