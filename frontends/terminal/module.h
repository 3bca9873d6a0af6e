// The terminal front end as a module (terminal.so in the program's module
// folder, frontends/modules.h): curses and the front end's code, loaded by
// the program (frontends/terminal/loader.cpp) only when the terminal may be
// chosen or is asked for.  The module hands out one table of entry points;
// the window system, the runtime and the lookup of further modules (the
// print module) it calls are the program's own.
#pragma once

struct terminalModule {
    // sizeof(terminalModule) where the module was built: a module of another
    // build is not used.
    unsigned size;
    // frontends/terminal/terminal.h: tmAvailable, tmUnavailableReason,
    // tmInstall.
    int (*available)();
    const char* (*unavailableReason)();
    void (*install)();
};

// The module's one exported symbol.
extern "C" const terminalModule* rastrelTerminalModule();
