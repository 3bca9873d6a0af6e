// The message boxes drawn over the window, answered by keys and the pointer.
#include "frontends/terminal/dialog_parts.h"
#include "portable/input.h"

int tmUnattendedAnswer(uint32_t type)
{
    const tmBoxLayout layout = tmLayoutBox("", "", type, tmGeometry{24, 80});
    for (int wanted : {IDNO, IDOK, IDCANCEL}) {
        for (const tmButton& button : layout.buttons) {
            if (button.answer == wanted) return wanted;
        }
    }
    return layout.buttons.empty() ? IDOK : layout.buttons.front().answer;
}

namespace {

void drawBox(const tmBoxLayout& layout, const std::string& caption, int focus)
{
    WINDOW* w = tmOpenOverlay(layout.top, layout.left, layout.height, layout.width);
    if (!w) return;
    wbkgdset(w, ' ');
    werase(w);
    frame(w);
    putCaption(w, caption, layout.width);
    for (size_t i = 0; i < layout.lines.size(); ++i) {
        tmPutText(w, static_cast<int>(i) + 2, 2, layout.lines[i], layout.width - 4, A_NORMAL);
    }
    const int row = layout.buttonRow - layout.top;
    for (int i = 0; i < static_cast<int>(layout.buttons.size()); ++i) {
        const tmButton& button = layout.buttons[static_cast<size_t>(i)];
        const attr_t base = i == focus ? A_REVERSE : A_NORMAL;
        const int column = button.column - layout.left;
        tmPutText(w, row, column, "[ ", 2, base);
        tmPutText(w, row, column + 2, button.label.substr(0, 1), 1, base | A_UNDERLINE);
        tmPutText(w, row, column + 3, button.label.substr(1) + " ]", layout.width, base);
        if (i == focus) {
            tmS.overlayCursorRow = layout.buttonRow;
            tmS.overlayCursorColumn = button.column + 2;
        }
    }
}

}  // namespace

int tmRunBox(const char* caption, const char* text, uint32_t type)
{
    if (!ready()) return tmUnattendedAnswer(type);
    modalScope scope;
    int focus = tmLayoutBox(caption, text, type, tmS.geometry).defaultButton;
    for (;;) {
        const tmBoxLayout layout = tmLayoutBox(caption, text, type, tmS.geometry);
        const int count = static_cast<int>(layout.buttons.size());
        drawBox(layout, caption, focus);
        tmDrawFrame();
        tmEvent event{};
        if (!tmNextEvent(&event, -1)) return tmUnattendedAnswer(type);
        switch (event.kind) {
        case tmCharacter:
            if (event.byte == '\r') return layout.buttons[static_cast<size_t>(focus)].answer;
            if (event.byte == '\t') {
                focus = (focus + 1) % count;
            } else if (const int answer = tmBoxAnswerForKey(layout, event.byte)) {
                return answer;
            }
            break;
        case tmEscape:
            if (layout.escapeAnswer) return layout.escapeAnswer;
            break;
        case tmKey:
            if (event.key == VK_LEFT || event.key == VK_UP) focus = (focus + count - 1) % count;
            if (event.key == VK_RIGHT || event.key == VK_DOWN) focus = (focus + 1) % count;
            break;
        case tmMouse:
            if (event.mouse.kind == tmPress && event.mouse.button == 0) {
                const int button = tmBoxButtonAt(layout, event.mouse.row, event.mouse.column);
                if (button >= 0) return layout.buttons[static_cast<size_t>(button)].answer;
            }
            break;
        default:
            break;
        }
    }
}

