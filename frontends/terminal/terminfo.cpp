// Questions to terminfo outside a curses screen.  Kept apart because term.h
// defines every capability's name (columns, lines, ...) as a macro.
#include "frontends/terminal/internal.h"

#include <curses.h>
#include <term.h>
#include <unistd.h>

#include <cstdlib>

std::string tmCapability(const char* name)
{
    char* value = tigetstr(const_cast<char*>(name));
    if (!value || value == reinterpret_cast<char*>(-1)) return std::string();
    return value;
}

const char* tmTerminfoProblem()
{
    const char* type = std::getenv("TERM");
    int error = 0;
    if (!type || !*type || setupterm(nullptr, STDOUT_FILENO, &error) != OK) {
        return "the terminal's type (TERM) is not known to terminfo";
    }
    const bool addressable = !tmCapability("cup").empty();
    del_curterm(cur_term);
    return addressable ? nullptr : "the terminal cannot move its cursor";
}
