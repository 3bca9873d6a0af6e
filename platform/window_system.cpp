// The portable window system.  (Placeholder until it is built.)
#include "platform/platform.h"
