// Where the installed program finds its modules (the desktop window, the
// terminal, the print module): a folder relative to the folder the program itself is in.
// Linked into the installed program ahead of rastrel_modules, so this
// definition is the one used.
#include "frontends/modules.h"

extern const char rastrelModuleFolder[] = RASTREL_MODULE_FOLDER;
