// Reads what the windows of the Windows flows show, from inside the same
// Wine desktop, so that the flows check texts exactly instead of guessing
// from pixels.  A console program: it prints on standard output.
//
//   wintool windows          the visible top-level windows: "TITLE" enabled=E
//   wintool text TITLE       the visible window titled TITLE and the texts of
//                            its controls, one line each (status 1: none)
//   wintool menu TITLE       the menu bar of the window titled TITLE: each
//                            popup, then its items as "  TEXT ID grayed|enabled"
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<HWND> shown;

BOOL CALLBACK collect(HWND window, LPARAM)
{
    if (IsWindowVisible(window)) {
        shown.push_back(window);
    }
    return TRUE;
}

std::string titleOf(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Control characters shown as escapes, so that one text is one line.
std::string escaped(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 32) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

HWND findShown(const char* title)
{
    EnumWindows(collect, 0);
    for (HWND window : shown) {
        if (titleOf(window) == title) {
            return window;
        }
    }
    return nullptr;
}

BOOL CALLBACK printChild(HWND child, LPARAM)
{
    std::printf("%s\n", escaped(titleOf(child)).c_str());
    return TRUE;
}

void printMenu(HMENU menu, int depth)
{
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        HMENU popup = GetSubMenu(menu, i);
        std::string indent(static_cast<size_t>(depth) * 2, ' ');
        if (popup != nullptr) {
            std::printf("%s%s\n", indent.c_str(), escaped(text).c_str());
            printMenu(popup, depth + 1);
        } else if (state & MF_SEPARATOR) {
            std::printf("%s-\n", indent.c_str());
        } else {
            std::printf("%s%s %u %s\n", indent.c_str(), escaped(text).c_str(), GetMenuItemID(menu, i),
                        (state & MF_GRAYED) ? "grayed" : "enabled");
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "windows") == 0) {
        EnumWindows(collect, 0);
        for (HWND window : shown) {
            std::printf("\"%s\" enabled=%d\n", escaped(titleOf(window)).c_str(), IsWindowEnabled(window) ? 1 : 0);
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "text") == 0) {
        HWND window = findShown(argv[2]);
        if (window == nullptr) {
            return 1;
        }
        std::printf("%s\n", escaped(titleOf(window)).c_str());
        EnumChildWindows(window, printChild, 0);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "menu") == 0) {
        HWND window = findShown(argv[2]);
        if (window == nullptr || GetMenu(window) == nullptr) {
            return 1;
        }
        printMenu(GetMenu(window), 0);
        return 0;
    }
    std::fprintf(stderr, "usage: wintool windows | text TITLE | menu TITLE\n");
    return 2;
}
