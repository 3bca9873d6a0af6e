// The standard streams on the console: while the console runs, reads on
// standard input call the read hook and writes on standard output and
// standard error call the write hook, with the runtime's line-end
// translation, buffering, flush points and ties in between.
#include "console/console.h"
#include "runtime/runtime.h"

void attachConsoleStreams()
{
    rt_attach_console(consoleWriteHook, consoleReadHook);
}
