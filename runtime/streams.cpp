// Buffered file streams.  (Placeholder until the runtime is built.)
#include "runtime/runtime.h"
