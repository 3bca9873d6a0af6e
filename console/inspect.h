// What the console holds, read back by tests and by the scripted run's
// reports, and the entry points tests use to set the console up.  Nothing
// here is part of how the console runs: the console's own code and the
// front ends that show it never need this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The console as it stands: its window (null when there is none, or it is
// gone), the transcript and the pending input (valid until the console next
// runs), the view and the caret.
struct consoleInspection {
    plHwnd window;
    const char* text;
    size_t textLength;
    const char* pendingInput;   // what a reader has not yet taken
    size_t pendingLength;
    int32_t modified;
    int32_t topRow, lastRow, screenRows, screenColumns;
    int32_t caretRow, caretColumn;
    int selection;              // 1 when both ends are set
    size_t selectionStart, selectionEnd;   // offsets into the text
};
consoleInspection consoleInspect();

// Replaces the transcript's text (for tests and tools that set it up): the
// text goes to the start of the block, at most capacity - 1 bytes of it,
// lastRow and the last line are counted again, and the held positions keep
// their offsets (within the new text).  Nothing is marked or drawn.
void setTranscriptText(const char* bytes, int32_t count);

// Puts every console global back to its state before start-up (for tests):
// the state records, the window, the font, the save path and the flags.
void consoleReset();
