// The application icon, one drawing for every size and system: a scanned
// sheet, a greyscale band with a darker line across it on white paper with
// a dark frame.  Windows' resource (win32/resource_script) and the desktop's
// icons (data/make_icons.cpp) are both made from it.
#pragma once

#include <cstdint>

struct iconPixel {
    uint8_t grey;    // 0 black .. 255 white
    uint8_t alpha;   // 0 transparent, 255 opaque
};

// The pixel at row (0 at the top) and column of the icon at size x size.
inline iconPixel iconPixelAt(int size, int row, int column)
{
    const int margin = size / 8;
    if (column < margin || column >= size - margin) return {0, 0};   // beside the sheet
    uint8_t grey = 255;
    if (column == margin || column == size - margin - 1 || row == 0 || row == size - 1) {
        grey = 40;   // the frame
    } else if (row > size / 4 && row < size - size / 4 && column > margin + 1 && column < size - margin - 2) {
        // A greyscale band with a darker line across it, as scans show.
        grey = static_cast<uint8_t>(230 - (column - margin) * 180 / (size - 2 * margin));
        if (row == size / 2) grey = 20;
    }
    return {grey, 255};
}
