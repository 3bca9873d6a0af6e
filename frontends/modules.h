// The program's modules: parts loaded only when they are needed, all in one
// folder.  desktop.so is the desktop window (GTK), loaded when the window is
// asked for or may be chosen; terminal.so is the terminal front end
// (curses), loaded when standard input and output are terminals and the
// terminal may be chosen or is asked for; print.so is printing's libraries
// (cups and cairo), loaded by the terminal when the user prints.  A run that
// needs none maps none, and the program still starts where their libraries
// are missing.
#pragma once

// The folder the modules are in: absolute in the build tree; relative to
// the folder the program itself is in once installed ("../lib/rastrel").
// rastrel_modules defines the build tree's (frontends/module_folder.cpp);
// the installed program links a definition of its own ahead of it
// (program/installed_modules.cpp).
extern const char rastrelModuleFolder[];

// Loads the module NAME ("desktop.so") from that folder: its handle for
// dlsym, or null (with the reason in reason, when given) where it is
// missing or cannot be loaded.
void* openProgramModule(const char* name, const char** reason = nullptr);
