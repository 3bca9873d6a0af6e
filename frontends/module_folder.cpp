// Where a program of the build tree finds its modules: the build's module
// folder (the installed program links a definition of its own instead).
#include "frontends/modules.h"

extern const char rastrelModuleFolder[] = RASTREL_BUILD_MODULE_FOLDER;
