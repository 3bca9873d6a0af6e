// Console output: the write hook, the write-text message and storeChar.
// (Placeholder until the output part is built.)
#include "console/console.h"

void consoleWriteHook(const char*, uint32_t) {}
void storeChar(const char*, char*) {}
void outputWriteText(const char*, uint32_t) {}
