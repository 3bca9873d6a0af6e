// The terminal front end is a module of its own (terminal.so in the
// program's module folder, frontends/modules.h), loaded only when the
// terminal may be chosen (standard input and output are terminals) or is
// asked for.  A plain run, a script or the desktop window thus never maps
// curses, and where the module is missing the terminal is simply not
// available.
//
// The module runs the program's own window system: it uses the portable
// window system's functions, the runtime's and the lookup of the program's
// modules (for the print module) from the program, which exports its
// symbols for it.  The table below keeps every function the module calls
// in every program, whatever else the program uses.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "frontends/modules.h"
#include "frontends/terminal/module.h"
#include "frontends/terminal/terminal.h"
#include "portable/frontend.h"
#include "portable/input.h"
#include "runtime/runtime.h"

namespace {

const char moduleName[] = "terminal.so";
const char notTerminals[] = "standard input and output are not both terminals";

struct Module {
    bool tried;
    const terminalModule* entries;
    char problem[4096];   // why there is no module
};
Module module;
const char* unavailableReason = notTerminals;

// What the module calls of the program's, kept in the program (the table is
// read as the module loads, and marked used).
[[gnu::used]] void (*const moduleNeeds[])() = {
    reinterpret_cast<void (*)()>(&pwInstall),           reinterpret_cast<void (*)()>(&pwPresent),
    reinterpret_cast<void (*)()>(&pwKindOf),            reinterpret_cast<void (*)()>(&pwIsEnabled),
    reinterpret_cast<void (*)()>(&pwClientSize),        reinterpret_cast<void (*)()>(&pwClientSizeFor),
    reinterpret_cast<void (*)()>(&pwSurfaceSize),       reinterpret_cast<void (*)()>(&pwSurfaceRow),
    reinterpret_cast<void (*)()>(&pwMenuItem),          reinterpret_cast<void (*)()>(&pwDialogItem),
    reinterpret_cast<void (*)()>(&pwOpenMenu),          reinterpret_cast<void (*)()>(&pwChooseMenuItem),
    reinterpret_cast<void (*)()>(&pwPressDialogButton), reinterpret_cast<void (*)()>(&pwAnswerPrintRequest),
    reinterpret_cast<void (*)()>(&pwPostChar),          reinterpret_cast<void (*)()>(&pwPostKey),
    reinterpret_cast<void (*)()>(&pwMouseDownCell),     reinterpret_cast<void (*)()>(&pwMouseUpCell),
    reinterpret_cast<void (*)()>(&pwMouseMoveCell),     reinterpret_cast<void (*)()>(&pwResizeCells),
    reinterpret_cast<void (*)()>(&pwScroll),            reinterpret_cast<void (*)()>(&pwClose),
    reinterpret_cast<void (*)()>(&plGetWindowText),     reinterpret_cast<void (*)()>(&plGetMenu),
    reinterpret_cast<void (*)()>(&rt_replace_file),     reinterpret_cast<void (*)()>(&openProgramModule),
};

// The module's entry points, loaded on the first call; null where it is
// missing or unusable (the reason in module.problem).
const terminalModule* load()
{
    if (module.tried) return module.entries;
    module.tried = true;
    volatile size_t last = sizeof moduleNeeds / sizeof moduleNeeds[0] - 1;
    if (moduleNeeds[last] == nullptr) return nullptr;
    const char* reason = "";
    void* handle = openProgramModule(moduleName, &reason);
    if (!handle) {
        std::snprintf(module.problem, sizeof module.problem, "the terminal front end cannot be loaded (%s)",
                      reason ? reason : moduleName);
        return nullptr;
    }
    typedef const terminalModule* (*entryPoint)();
    const entryPoint entry = reinterpret_cast<entryPoint>(dlsym(handle, "rastrelTerminalModule"));
    const terminalModule* entries = entry ? entry() : nullptr;
    if (!entries || entries->size != sizeof(terminalModule)) {
        std::snprintf(module.problem, sizeof module.problem, "%s is not this program's terminal front end",
                      moduleName);
        return nullptr;
    }
    module.entries = entries;
    return entries;
}

}  // namespace

int tmAvailable()
{
    // Not a terminal: the module is not loaded at all.
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        unavailableReason = notTerminals;
        return 0;
    }
    const terminalModule* entries = load();
    if (!entries) {
        unavailableReason = module.problem;
        return 0;
    }
    if (!entries->available()) {
        unavailableReason = entries->unavailableReason();
        return 0;
    }
    return 1;
}

const char* tmUnavailableReason()
{
    return unavailableReason;
}

void tmInstall()
{
    const terminalModule* entries = load();
    if (!entries) {
        std::fprintf(stderr, "rastrel: %s\n", module.problem);
        std::exit(2);
    }
    entries->install();
}
