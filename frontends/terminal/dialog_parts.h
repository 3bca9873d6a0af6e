// What the terminal front end's boxes, menus and dialogs share: the scope
// of an open one, drawing a frame and a caption, and a line being edited.
// For the files that draw over the window only (dialogs.cpp, menus.cpp,
// boxes.cpp).
#pragma once

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "frontends/terminal/internal.h"

namespace {


// A box, menu or dialog is open for the life of a scope: the window system
// hears of size changes and signals only once it is closed.
struct modalScope {
    modalScope() { ++tmS.modal; }
    ~modalScope()
    {
        --tmS.modal;
        tmCloseOverlay();
        tmS.openMenu = -1;
        tmDrawFrame();   // the window as it is under what was drawn over it
    }
    modalScope(const modalScope&) = delete;
    modalScope& operator=(const modalScope&) = delete;
};

inline bool ready()
{
    return !tmS.hungUp && (tmS.active || tmStartScreen());
}

inline void ringBell()
{
    beep();
}

inline std::wstring widen(const std::string& text)
{
    std::wstring out;
    mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t character = 0;
        size_t length = std::mbrtowc(&character, text.data() + i, text.size() - i, &state);
        if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2)) {
            character = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
            length = 1;
            state = mbstate_t{};
        } else if (length == 0) {
            length = 1;
        }
        out += character;
        i += length;
    }
    return out;
}

inline std::string narrow(const std::wstring& text)
{
    std::string out;
    mbstate_t state{};
    char bytes[MB_LEN_MAX];
    for (wchar_t character : text) {
        const size_t length = std::wcrtomb(bytes, character, &state);
        if (length == static_cast<size_t>(-1)) {
            out += '?';
            state = mbstate_t{};
        } else {
            out.append(bytes, length);
        }
    }
    return out;
}

inline std::string expandHome(const std::string& path)
{
    if (path.size() >= 2 && path[0] == '~' && path[1] == '/') {
        const char* home = std::getenv("HOME");
        if (home && *home) return std::string(home) + path.substr(1);
    }
    return path;
}

// A line being edited: typing, Backspace, Left, Right, Home, End, Ctrl+A,
// Ctrl+E and Ctrl+U.  True when the event was an edit.
struct lineEdit {
    std::wstring text;
    size_t cursor = 0;
};

enum : unsigned char { ctrlA = 1, ctrlE = 5, ctrlU = 21 };

inline bool editLine(lineEdit* line, const tmEvent& event)
{
    if (event.kind == tmKey) {
        switch (event.key) {
        case VK_LEFT:
            if (line->cursor > 0) --line->cursor;
            return true;
        case VK_RIGHT:
            if (line->cursor < line->text.size()) ++line->cursor;
            return true;
        case VK_HOME:
            line->cursor = 0;
            return true;
        case VK_END:
            line->cursor = line->text.size();
            return true;
        default:
            return false;
        }
    }
    if (event.kind != tmCharacter) return false;
    const unsigned char c = event.byte;
    if (c == '\b') {
        if (line->cursor > 0) line->text.erase(--line->cursor, 1);
        return true;
    }
    if (c == ctrlA || c == ctrlE) {
        line->cursor = c == ctrlA ? 0 : line->text.size();
        return true;
    }
    if (c == ctrlU) {
        line->text.clear();
        line->cursor = 0;
        return true;
    }
    if (c < 32) return false;
    line->text.insert(line->cursor++, 1, static_cast<wchar_t>(tmCharacterOfByte(c)));
    return true;
}

// The part of a line that fits width cells with the cursor in view; the
// cursor's cell within it.
inline std::string visiblePart(const lineEdit& line, int width, int* cursorCell)
{
    size_t first = 0;
    if (width < 1) width = 1;
    if (line.cursor >= static_cast<size_t>(width)) first = line.cursor - static_cast<size_t>(width) + 1;
    *cursorCell = static_cast<int>(line.cursor - first);
    return narrow(line.text.substr(first, static_cast<size_t>(width)));
}

inline void frame(WINDOW* window)
{
    box(window, 0, 0);
}

inline void putCaption(WINDOW* window, const std::string& caption, int width)
{
    if (width > 6) tmPutText(window, 0, 2, " " + caption + " ", width - 4, A_BOLD);
}

}  // namespace
