// The portable window system read back by its tests: what the front end's
// seam does not show, and the failures tests inject.  Neither the console
// nor a front end includes this header.
#pragma once

#include "platform/platform.h"

int pwShowValue(plHwnd window);            // the last show value, -1 before any
int pwIsInvalid(plHwnd window);
int pwDisableCount(plHwnd window);         // times the window went from enabled to disabled
int pwLiveBlockCount();                    // movable memory blocks not freed
int pwLiveDcCount();                       // drawing contexts not released
// The next count plGlobalAlloc calls fail.
void pwFailAllocations(int count);
