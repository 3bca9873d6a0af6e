// Sequences written to the terminal by hand.
#include "frontends/terminal/sequences.h"

#include <cstdint>

#include "frontends/terminal/decoder.h"

const char tmModesOn[] = "\033[22;0t\033[?2004h\033[?1002h\033[?1006h\033[?1036s\033[?1036h";
const char tmModesAgain[] = "\033[?2004h\033[?1002h\033[?1006h\033[?1036h";
const char tmModesOff[] = "\033[?1036l\033[?1036r\033[?1006l\033[?1002l\033[?2004l\033[23;0t";

std::string tmTitleSequence(const std::string& title)
{
    std::string sequence = "\033]2;";
    for (char c : title) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 32 && byte != 127) sequence += c;
    }
    sequence += '\a';
    return sequence;
}

std::string tmUtf8OfBytes(const char* text, size_t length)
{
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const uint32_t c = tmCharacterOfByte(static_cast<unsigned char>(text[i]));
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string tmBase64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                           static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += digits[(v >> 6) & 63];
        out += digits[v & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out += digits[v >> 18];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string tmClipboardSequence(const char* text, size_t length)
{
    std::string unix;
    unix.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
        unix += text[i];
    }
    return "\033]52;c;" + tmBase64(tmUtf8OfBytes(unix.data(), unix.size())) + "\a";
}
