// The row mapping walked from the start of the text, the plain way, for
// tests to hold the console's own mapping against.
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/console.h"

namespace walkedRows {

inline int64_t width() { return ConsoleState.screenColumns > 0 ? ConsoleState.screenColumns : 1; }

inline bool breakAt(size_t i)
{
    const size_t length = static_cast<size_t>(ConsoleState.textEnd - ConsoleState.textStart);
    return i + 1 < length && ConsoleState.textStart[i] == '\r' && ConsoleState.textStart[i + 1] == '\n';
}

// Display row and column of the byte offset, walking the lines from the
// start of the text: a CR LF pair ends a line once both bytes lie before it.
inline void walkedRowColumn(size_t position, int64_t* row, int64_t* column)
{
    int64_t rows = 0;
    size_t start = 0;
    for (size_t i = 0; i + 1 < position; i++) {
        if (breakAt(i)) {
            rows += 1 + static_cast<int64_t>(i - start) / width();
            start = i + 2;
            i++;
        }
    }
    *row = rows + static_cast<int64_t>(position - start) / width();
    *column = static_cast<int64_t>(position - start) % width();
}

// The byte offset of a display row and column, walking from the start.
inline size_t walkedPosition(int64_t row, int64_t column)
{
    const size_t length = static_cast<size_t>(ConsoleState.textEnd - ConsoleState.textStart);
    if (row > static_cast<int64_t>(ConsoleState.lastRow) + 1) {
        return length;
    }
    const int64_t wanted = row > 0 ? row : 0;
    size_t start = 0;
    int64_t first = 0;
    for (;;) {
        size_t cr = start;
        while (cr < length && !breakAt(cr)) {
            cr++;
        }
        if (cr >= length || first + 1 + static_cast<int64_t>(cr - start) / width() > wanted) {
            const int64_t offset = (wanted - first) * width();
            start = offset < static_cast<int64_t>(length - start) ? start + static_cast<size_t>(offset) : length;
            break;
        }
        first += 1 + static_cast<int64_t>(cr - start) / width();
        start = cr + 2;
    }
    const size_t c = column > 0 ? static_cast<size_t>(column) : 0;
    return c < length - start ? start + c : length;
}

}  // namespace walkedRows
