// The console's resources.  (Placeholder until the commands part is built.)
#include "console/console.h"

void registerConsoleResources(plHinstance) {}
