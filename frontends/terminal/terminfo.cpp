// Questions to terminfo: capabilities and the terminal's own keys.  Kept
// apart because term.h defines every
// capability's name (columns, lines, ...) as a macro.
#include "frontends/terminal/internal.h"

#include <curses.h>
#include <term.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

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

tmKeyTable tmTerminfoKeys()
{
    struct named {
        const char* capability;
        tmKeyMeaning meaning;
        uint32_t virtualKey;
    };
    static const named keys[] = {
        {"kcuu1", tmKeyVirtual, VK_UP},    {"kcud1", tmKeyVirtual, VK_DOWN},  {"kcub1", tmKeyVirtual, VK_LEFT},
        {"kcuf1", tmKeyVirtual, VK_RIGHT}, {"kpp", tmKeyVirtual, VK_PRIOR},   {"knp", tmKeyVirtual, VK_NEXT},
        {"khome", tmKeyVirtual, VK_HOME},  {"ka1", tmKeyVirtual, VK_HOME},    {"kfnd", tmKeyVirtual, VK_HOME},
        {"kend", tmKeyVirtual, VK_END},    {"kc1", tmKeyVirtual, VK_END},     {"kslt", tmKeyVirtual, VK_END},
        {"kbs", tmKeyBackspace, 0},        {"kent", tmKeyEnter, 0},           {"kf10", tmKeyMenu, 0},
        {"kf4", tmKeyF4, 0},               {"kf52", tmKeyClose, 0},
    };
    tmKeyTable table;
    for (const named& key : keys) {
        const std::string sequence = tmCapability(key.capability);
        // Single bytes (Backspace as DEL or ^H) are characters already.
        if (sequence.size() > 1 && sequence[0] == '\033') {
            table.entries.push_back(tmKeyEntry{sequence, key.meaning, key.virtualKey});
        }
    }
    return table;
}
