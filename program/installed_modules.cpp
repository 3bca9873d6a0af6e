// Where the installed program finds its modules: a folder relative to the
// folder the program itself is in.  Linked into the installed program
// ahead of the front ends' library, so this definition is the one used.
#include "frontends/modules.h"

extern const char rastrelModuleFolder[] = RASTREL_MODULE_FOLDER;
