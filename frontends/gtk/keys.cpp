// Keys, the console's character set and menu labels.
#include "frontends/gtk/keys.h"

#include <gdk/gdk.h>

#include "platform/platform.h"

namespace {

// Windows-1252's characters for the bytes 0x80 to 0x9F; 0 where it has none.
const unsigned short typographic[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

enum : unsigned char { charBackspace = 8, charTab = 9, charReturn = 13, charEscape = 27 };

}  // namespace

int gwControlCharacter(unsigned keyval, unsigned state)
{
    if ((state & GDK_CONTROL_MASK) == 0 || (state & GDK_MOD1_MASK) != 0) return -1;
    const unsigned lower = gdk_keyval_to_lower(keyval);
    if (lower >= GDK_KEY_a && lower <= GDK_KEY_z) return static_cast<int>(lower - GDK_KEY_a + 1);
    return -1;
}

uint16_t gwShortcutCommand(unsigned keyval, unsigned state)
{
    const unsigned modifiers = state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK);
    const unsigned lower = gdk_keyval_to_lower(keyval);
    const bool insert = keyval == GDK_KEY_Insert || keyval == GDK_KEY_KP_Insert;
    if (modifiers == (GDK_CONTROL_MASK | GDK_SHIFT_MASK)) {
        if (lower == GDK_KEY_c) return gwEditCopy;
        if (lower == GDK_KEY_v) return gwEditPaste;
    }
    if (insert && modifiers == GDK_CONTROL_MASK) return gwEditCopy;
    if (insert && modifiers == GDK_SHIFT_MASK) return gwEditPaste;
    return 0;
}

gwKeyMeaning gwMeaningOf(unsigned keyval)
{
    switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        return gwKeyMeaning{charReturn, 0};
    case GDK_KEY_BackSpace:
        return gwKeyMeaning{charBackspace, 0};
    case GDK_KEY_Tab:
    case GDK_KEY_KP_Tab:
    case GDK_KEY_ISO_Left_Tab:
        return gwKeyMeaning{charTab, 0};
    case GDK_KEY_Escape:
        return gwKeyMeaning{charEscape, 0};
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        return gwKeyMeaning{-1, VK_UP};
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        return gwKeyMeaning{-1, VK_DOWN};
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
        return gwKeyMeaning{-1, VK_LEFT};
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
        return gwKeyMeaning{-1, VK_RIGHT};
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
        return gwKeyMeaning{-1, VK_PRIOR};
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
        return gwKeyMeaning{-1, VK_NEXT};
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
        return gwKeyMeaning{-1, VK_HOME};
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
        return gwKeyMeaning{-1, VK_END};
    default:
        return gwKeyMeaning{-1, 0};
    }
}

unsigned gwFromAnsi(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0 && typographic[byte - 0x80] != 0) return typographic[byte - 0x80];
    return byte;
}

std::string gwToAnsi(const char* utf8, size_t length)
{
    std::string bytes;
    const char* end = utf8 + length;
    for (const char* p = utf8; p < end && *p;) {
        const gunichar c = g_utf8_get_char_validated(p, end - p);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            // Not UTF-8: the byte stands for itself.
            bytes += *p++;
            continue;
        }
        p = g_utf8_next_char(p);
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            bytes += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (unsigned i = 0; i < 32; ++i) {
            if (typographic[i] == c) mapped = static_cast<char>(0x80 + i);
        }
        bytes += mapped;
    }
    return bytes;
}

std::string gwFromAnsiText(const char* bytes, size_t length)
{
    std::string utf8;
    for (size_t i = 0; i < length; ++i) {
        char encoded[8];
        const int n = g_unichar_to_utf8(gwFromAnsi(static_cast<unsigned char>(bytes[i])), encoded);
        utf8.append(encoded, static_cast<size_t>(n));
    }
    return utf8;
}

std::string gwConsoleLineEnds(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
        lines += text[i];
    }
    return lines;
}

std::string gwDesktopLineEnds(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        lines += text[i];
    }
    return lines;
}

std::string gwTypedLineEnds(const std::string& text)
{
    std::string typed;
    typed.reserve(text.size());
    for (size_t i = 0; i < text.size() && text[i]; ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        typed += text[i] == '\n' ? '\r' : text[i];
    }
    return typed;
}

std::string gwMenuLabel(const char* text, std::string* accelerator)
{
    std::string label;
    if (accelerator) accelerator->clear();
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p == '\t') {
            if (accelerator) *accelerator = p + 1;
            break;
        }
        if (*p == '&' && p[1] == '&') {
            label += '&';
            ++p;
        } else if (*p == '&') {
            label += '_';
        } else if (*p == '_') {
            label += "__";
        } else {
            label += *p;
        }
    }
    return gwFromAnsiText(label.data(), label.size());
}
