// Reads lines and writes each back as [LINE]; the line "exit" ends it
// through exit(7), the end of input by returning.  With an argument, first
// puts that text on the clipboard (\r, \n and \xHH escapes), for pasting.
#include <string>

#include "program/windows/entry.h"
#include "runtime/runtime.h"

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::string unescape(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '\\' && p[1] == 'r') {
            out += '\r';
            ++p;
        } else if (p[0] == '\\' && p[1] == 'n') {
            out += '\n';
            ++p;
        } else if (p[0] == '\\' && p[1] == 'x' && hexDigit(p[2]) >= 0 && hexDigit(p[3]) >= 0) {
            out += static_cast<char>(hexDigit(p[2]) * 16 + hexDigit(p[3]));
            p += 3;
        } else {
            out += *p;
        }
    }
    return out;
}

void putOnClipboard(const std::string& text)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    char* bytes = block != nullptr ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (bytes == nullptr || !OpenClipboard(nullptr)) {
        return;
    }
    text.copy(bytes, text.size());
    bytes[text.size()] = '\0';
    GlobalUnlock(block);
    EmptyClipboard();
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
}

int application(int argc, char** argv)
{
    if (argc > 1) {
        putOnClipboard(unescape(argv[1]));
    }
    rt::cout << "ready\n";
    std::string line;
    while (std::getline(rt::cin, line)) {
        rt::cout << "[" << line << "]\n";
        if (line == "exit") {
            rt_exit(7);
        }
    }
    rt::cout << "end of input\n";
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    runWindowsProgram(application);
}
