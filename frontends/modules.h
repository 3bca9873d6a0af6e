// The program's modules: parts loaded only when they are needed (the
// desktop window; printing's libraries may follow), all in one folder.
#pragma once

// The folder the modules are in: absolute in the build tree; relative to
// the folder the program itself is in once installed ("../lib/rastrel").
// The front ends' library defines the build tree's; the installed program
// links a definition of its own ahead of it (program/installed_modules.cpp).
extern const char rastrelModuleFolder[];

// Loads the module NAME ("desktop.so") from that folder: its handle for
// dlsym, or null (with the reason in reason, when given) where it is
// missing or cannot be loaded.
void* openProgramModule(const char* name, const char** reason = nullptr);
