// The fault box's text, built without allocating: it is made in a signal
// handler or an exception filter.
#include <cstring>

#include "runtime/internal.h"

namespace {

// Lower-case hexadecimal with at least eight digits, as "%08x" gives for a
// 32-bit value; a wider address keeps all its digits.
char* putHex(char* out, uint64_t value)
{
    char digits[16];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value & 15];
        value >>= 4;
    } while (value != 0);
    for (int pad = count; pad < 8; pad++) {
        *out++ = '0';
    }
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

char* putText(char* out, const char* text)
{
    size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

}  // namespace

void rt_fault_text(char (&text)[RT_FAULT_TEXT_SIZE], uint32_t code, uint64_t address)
{
    // 21 + 8 + 21 + 16 + 1 + 1 bytes at most.
    char* out = text;
    out = putText(out, "Unhandled exception: ");
    out = putHex(out, code);
    out = putText(out, "\nAt address:          ");
    out = putHex(out, address);
    out = putText(out, "\n");
    *out = '\0';
}
