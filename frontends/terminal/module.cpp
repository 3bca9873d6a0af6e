// The terminal module's table of entry points (frontends/terminal/module.h).
#include "frontends/terminal/module.h"

#include "frontends/terminal/terminal.h"

namespace {

const terminalModule entries = {
    .size = sizeof(terminalModule),
    .available = tmAvailable,
    .unavailableReason = tmUnavailableReason,
    .install = tmInstall,
};

}  // namespace

extern "C" [[gnu::visibility("default")]] const terminalModule* rastrelTerminalModule()
{
    return &entries;
}
