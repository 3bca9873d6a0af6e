// The desktop front end is a module of its own (desktop.so in the program's
// module folder, frontends/modules.h), loaded only when the desktop window
// is asked for or may be chosen.  A run over the plain binding, a script or a terminal thus
// never loads GTK, and the program still starts on a machine without GTK:
// there the window is simply not available.
//
// The module runs the program's own window system: it uses the portable
// window system's functions from the program, which exports its symbols
// for it.  The table below keeps every function the module calls in every
// program, whatever else the program uses.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "frontends/gtk/gtk_frontend.h"
#include "frontends/modules.h"
#include "portable/frontend.h"
#include "portable/input.h"

namespace {

// The module's file name ("" when GTK 3 was not found).
const char moduleName[] = RASTREL_DESKTOP_MODULE;

typedef int (*availableEntry)();
typedef void (*runEntry)(int argc, char** argv, void (*startProgram)());

struct Module {
    bool tried;
    availableEntry available;
    runEntry run;
};
Module module;

// The window system's functions the module calls, kept in the program
// (the table is read as the module loads, and marked used).
[[gnu::used]] void (*const moduleNeeds[])() = {
    reinterpret_cast<void (*)()>(&pwInstall),          reinterpret_cast<void (*)()>(&pwPresent),
    reinterpret_cast<void (*)()>(&pwKindOf),           reinterpret_cast<void (*)()>(&pwIsEnabled),
    reinterpret_cast<void (*)()>(&pwClientSize),       reinterpret_cast<void (*)()>(&pwSurfaceSize),
    reinterpret_cast<void (*)()>(&pwSurfaceRow),       reinterpret_cast<void (*)()>(&pwScrollBar),
    reinterpret_cast<void (*)()>(&pwMenuItemCount),    reinterpret_cast<void (*)()>(&pwMenuItem),
    reinterpret_cast<void (*)()>(&pwMenuItemState),    reinterpret_cast<void (*)()>(&pwDialogItem),
    reinterpret_cast<void (*)()>(&pwPostChar),         reinterpret_cast<void (*)()>(&pwType),
    reinterpret_cast<void (*)()>(&pwPostKey),          reinterpret_cast<void (*)()>(&pwMouseDown),
    reinterpret_cast<void (*)()>(&pwMouseUp),          reinterpret_cast<void (*)()>(&pwMouseMove),
    reinterpret_cast<void (*)()>(&pwScroll),           reinterpret_cast<void (*)()>(&pwClose),
    reinterpret_cast<void (*)()>(&pwOpenMenu),         reinterpret_cast<void (*)()>(&pwChooseMenuItem),
    reinterpret_cast<void (*)()>(&pwPressDialogButton), reinterpret_cast<void (*)()>(&pwResize),
    reinterpret_cast<void (*)()>(&pwFocus),            reinterpret_cast<void (*)()>(&pwQueryEndSession),
    reinterpret_cast<void (*)()>(&plGetWindowText),    reinterpret_cast<void (*)()>(&plGetMenu),
    reinterpret_cast<void (*)()>(&plGetSystemMenu),    reinterpret_cast<void (*)()>(&plGetParent),
    reinterpret_cast<void (*)()>(&plGetFocus),         reinterpret_cast<void (*)()>(&plIsWindow),
    reinterpret_cast<void (*)()>(&pwClientSizeFor),    reinterpret_cast<void (*)()>(&pwCellTextLeft),
    reinterpret_cast<void (*)()>(&pwCommandText),      reinterpret_cast<void (*)()>(&pwCaret),
};

bool load()
{
    if (module.tried) return module.available != nullptr;
    module.tried = true;
    volatile size_t last = sizeof moduleNeeds / sizeof moduleNeeds[0] - 1;
    if (!moduleName[0] || moduleNeeds[last] == nullptr) return false;
    void* handle = openProgramModule(moduleName);
    if (!handle) return false;
    module.available = reinterpret_cast<availableEntry>(dlsym(handle, "rastrelDesktopAvailable"));
    module.run = reinterpret_cast<runEntry>(dlsym(handle, "rastrelDesktopRun"));
    if (!module.available || !module.run) {
        module.available = nullptr;
        module.run = nullptr;
    }
    return module.available != nullptr;
}

}  // namespace

int gwDisplayPresent()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && x11[0]) || (wayland && wayland[0]) ? 1 : 0;
}

int gwAvailable()
{
    return load() && module.available() ? 1 : 0;
}

void gwRun(int argc, char** argv, void (*startProgram)())
{
    if (!load()) {
        std::fprintf(stderr, "rastrel: this program has no desktop window\n");
        std::exit(2);
    }
    module.run(argc, argv, startProgram);
    std::exit(2);
}
