// Console input: the read hook and the character handler.
// (Placeholder until the input part is built.)
#include "console/console.h"

int consoleReadHook(char*, uint32_t, uint32_t* count)
{
    *count = 0;
    return 1;
}
void inputCharacter(plWparam) {}
