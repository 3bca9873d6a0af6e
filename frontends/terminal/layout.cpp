// Where things go on the terminal, and what the pointer means over them.
#include "frontends/terminal/layout.h"

#include <cctype>
#include <cstdint>

#include "frontends/terminal/decoder.h"

namespace {

int clampInt(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

int labelLength(const tmMenuText& text)
{
    return static_cast<int>(text.label.size());
}

tmAction scrollAction(int code, int position)
{
    tmAction action{};
    action.kind = tmScrollAction;
    action.code = code;
    action.position = position;
    return action;
}

tmAction pointerAction(tmActionKind kind, const tmGeometry& g, int row, int column, int shift)
{
    tmAction action{};
    action.kind = kind;
    action.row = clampInt(row, 1, g.rows - 1) - 1;
    action.column = clampInt(column, 0, g.columns - 2);
    action.shift = shift;
    return action;
}

}  // namespace

// ---------------------------------------------------------------------------
// Menus.

tmMenuText tmParseMenuText(const char* text)
{
    tmMenuText result{};
    result.mnemonic = -1;
    if (!text) return result;
    const char* p = text;
    for (; *p && *p != '\t'; ++p) {
        if (*p == '&' && p[1] == '&') {
            result.label += '&';
            ++p;
        } else if (*p == '&') {
            // It underlines the next letter; with none after it, it is nothing.
            if (result.mnemonic < 0 && p[1] && p[1] != '\t') result.mnemonic = static_cast<int>(result.label.size());
        } else {
            result.label += *p;
        }
    }
    if (*p == '\t') result.accelerator = p + 1;
    return result;
}

int tmMenuBarColumn(const tmMenuBar& bar, int item)
{
    int column = 1;
    for (int i = 0; i < item && i < static_cast<int>(bar.items.size()); ++i) {
        column += labelLength(bar.items[static_cast<size_t>(i)]) + 2;
    }
    return column;
}

int tmMenuBarEnd(const tmMenuBar& bar)
{
    return tmMenuBarColumn(bar, static_cast<int>(bar.items.size())) - 1;
}

int tmMenuBarItemAt(const tmMenuBar& bar, int column)
{
    for (int i = 0; i < static_cast<int>(bar.items.size()); ++i) {
        const int start = tmMenuBarColumn(bar, i);
        if (column >= start - 1 && column < start + labelLength(bar.items[static_cast<size_t>(i)]) + 1) return i;
    }
    return -1;
}

tmPopupLayout tmLayoutPopup(const std::vector<tmPopupItem>& items, int anchorColumn, const tmGeometry& g)
{
    int label = 0;
    int accel = 0;
    for (const tmPopupItem& item : items) {
        if (item.separator) continue;
        if (labelLength(item.text) > label) label = labelLength(item.text);
        if (static_cast<int>(item.text.accelerator.size()) > accel) accel = static_cast<int>(item.text.accelerator.size());
    }
    tmPopupLayout layout{};
    layout.width = 2 + label + (accel ? 3 + accel : 0) + 2;
    if (layout.width > g.columns) layout.width = g.columns;
    layout.left = clampInt(anchorColumn - 1, 0, g.columns - layout.width);
    layout.top = 1;
    layout.height = static_cast<int>(items.size()) + 2;
    if (layout.height > g.rows - 1) layout.height = g.rows - 1;
    layout.accelColumn = layout.left + 2 + label + 3;
    return layout;
}

int tmPopupItemAt(const tmPopupLayout& layout, const std::vector<tmPopupItem>& items, int row, int column)
{
    if (column <= layout.left || column >= layout.left + layout.width - 1) return -1;
    const int index = row - layout.top - 1;
    if (index < 0 || index >= layout.height - 2 || index >= static_cast<int>(items.size())) return -1;
    return items[static_cast<size_t>(index)].separator ? -1 : index;
}

int tmPopupStep(const std::vector<tmPopupItem>& items, int current, int direction)
{
    const int count = static_cast<int>(items.size());
    int index = current;
    for (int i = 0; i < count; ++i) {
        index = ((index + direction) % count + count) % count;
        if (!items[static_cast<size_t>(index)].separator) return index;
    }
    return current;
}

int tmPopupMnemonic(const std::vector<tmPopupItem>& items, unsigned char c)
{
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const tmMenuText& text = items[static_cast<size_t>(i)].text;
        if (items[static_cast<size_t>(i)].separator || text.mnemonic < 0) continue;
        const unsigned char letter = static_cast<unsigned char>(text.label[static_cast<size_t>(text.mnemonic)]);
        if (std::tolower(letter) == std::tolower(c)) return i;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// The scroll bar.

tmScrollBarLayout tmLayoutScrollBar(const tmGeometry& g, const pwScrollInfo& bar)
{
    tmScrollBarLayout layout{};
    layout.column = g.columns - 1;
    layout.top = 1;
    layout.bottom = g.rows - 1;
    const int rows = layout.bottom - layout.top + 1;
    layout.arrows = rows >= 3;
    layout.trackTop = layout.arrows ? layout.top + 1 : layout.top;
    layout.trackLength = layout.arrows ? rows - 2 : rows;
    if (layout.trackLength < 1) layout.trackLength = 1;
    const int64_t range = static_cast<int64_t>(bar.maximum) - bar.minimum;
    int offset = 0;
    if (range > 0) {
        const int64_t position = clampInt(bar.position, bar.minimum, bar.maximum) - static_cast<int64_t>(bar.minimum);
        offset = static_cast<int>((position * (layout.trackLength - 1) + range / 2) / range);
    }
    layout.thumb = layout.trackTop + offset;
    return layout;
}

int tmThumbPosition(const tmScrollBarLayout& layout, const pwScrollInfo& bar, int row)
{
    const int64_t range = static_cast<int64_t>(bar.maximum) - bar.minimum;
    if (range <= 0 || layout.trackLength <= 1) return bar.minimum;
    const int64_t offset = clampInt(row, layout.trackTop, layout.trackTop + layout.trackLength - 1) - layout.trackTop;
    const int64_t steps = layout.trackLength - 1;
    return static_cast<int>(bar.minimum + (offset * range + steps / 2) / steps);
}

// ---------------------------------------------------------------------------
// The pointer.

int tmRouteMouse(const tmGeometry& g, const tmMenuBar& bar, const pwScrollInfo& scroll, tmPointer* pointer,
                 const tmMouseReport& report, tmAction* actions)
{
    const tmScrollBarLayout sb = tmLayoutScrollBar(g, scroll);
    int count = 0;
    switch (report.kind) {
    case tmWheelUp:
    case tmWheelDown:
        for (int i = 0; i < tmWheelLines; ++i) {
            actions[count++] = scrollAction(report.kind == tmWheelUp ? SB_LINEUP : SB_LINEDOWN, 0);
        }
        return count;
    case tmPress:
        if (report.button != 0) return 0;
        if (report.row == 0) {
            const int item = tmMenuBarItemAt(bar, report.column);
            if (item < 0) return 0;
            tmAction action{};
            action.kind = tmOpenMenuAction;
            action.menu = item;
            actions[count++] = action;
            return count;
        }
        if (report.column == sb.column && report.row >= sb.top && report.row <= sb.bottom) {
            if (sb.arrows && report.row == sb.top) {
                actions[count++] = scrollAction(SB_LINEUP, 0);
            } else if (sb.arrows && report.row == sb.bottom) {
                actions[count++] = scrollAction(SB_LINEDOWN, 0);
            } else if (report.row < sb.thumb) {
                actions[count++] = scrollAction(SB_PAGEUP, 0);
            } else if (report.row > sb.thumb) {
                actions[count++] = scrollAction(SB_PAGEDOWN, 0);
            } else {
                pointer->drag = tmThumbDrag;
                pointer->thumbPosition = scroll.position;
            }
            return count;
        }
        if (report.row < 1 || report.row >= g.rows || report.column >= g.columns - 1) return 0;
        pointer->drag = tmClientDrag;
        pointer->pressRow = report.row;
        pointer->pressColumn = report.column;
        pointer->moved = 0;
        actions[count++] = pointerAction(tmMouseDownAction, g, report.row, report.column, report.shift);
        return count;
    case tmDrag:
        if (pointer->drag == tmClientDrag) {
            if (!pointer->moved) {
                pointer->moved = 1;
                actions[count++] = pointerAction(tmMouseMoveAction, g, pointer->pressRow, pointer->pressColumn, 0);
            }
            actions[count++] = pointerAction(tmMouseMoveAction, g, report.row, report.column, 0);
        } else if (pointer->drag == tmThumbDrag) {
            const int position = tmThumbPosition(sb, scroll, report.row);
            if (position != pointer->thumbPosition) {
                pointer->thumbPosition = position;
                actions[count++] = scrollAction(SB_THUMBTRACK, position);
            }
        }
        return count;
    case tmRelease:
        if (pointer->drag == tmClientDrag) {
            actions[count++] = pointerAction(tmMouseUpAction, g, report.row, report.column, 0);
        } else if (pointer->drag == tmThumbDrag) {
            actions[count++] = scrollAction(SB_THUMBPOSITION, tmThumbPosition(sb, scroll, report.row));
        }
        pointer->drag = tmNoDrag;
        return count;
    }
    return count;
}

// ---------------------------------------------------------------------------
// Boxes.

std::vector<std::string> tmWrapText(const std::string& text, int width)
{
    std::vector<std::string> lines;
    if (width < 1) width = 1;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string paragraph = text.substr(start, end - start);
        if (!paragraph.empty() && paragraph.back() == '\r') paragraph.pop_back();
        do {
            if (static_cast<int>(paragraph.size()) <= width) {
                lines.push_back(paragraph);
                break;
            }
            size_t cut = paragraph.rfind(' ', static_cast<size_t>(width));
            if (cut == std::string::npos || cut == 0) cut = static_cast<size_t>(width);
            lines.push_back(paragraph.substr(0, cut));
            size_t next = cut;
            while (next < paragraph.size() && paragraph[next] == ' ') ++next;
            paragraph.erase(0, next);
        } while (!paragraph.empty());
        start = end + 1;
    }
    // A text ending in a line end has no empty last line.
    while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
    return lines;
}

tmBoxLayout tmLayoutBox(const std::string& caption, const std::string& text, uint32_t type, const tmGeometry& g)
{
    tmBoxLayout box{};
    struct buttonName {
        const char* label;
        int answer;
    };
    static const buttonName ok[] = {{"OK", IDOK}};
    static const buttonName okCancel[] = {{"OK", IDOK}, {"Cancel", IDCANCEL}};
    static const buttonName abortRetryIgnore[] = {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
    static const buttonName yesNoCancel[] = {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
    static const buttonName yesNo[] = {{"Yes", IDYES}, {"No", IDNO}};
    static const buttonName retryCancel[] = {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
    const buttonName* names = ok;
    int count = 1;
    switch (type & 0xFu) {
    case MB_OKCANCEL:
        names = okCancel;
        count = 2;
        break;
    case 2:
        names = abortRetryIgnore;
        count = 3;
        break;
    case MB_YESNOCANCEL:
        names = yesNoCancel;
        count = 3;
        break;
    case MB_YESNO:
        names = yesNo;
        count = 2;
        break;
    case 5:
        names = retryCancel;
        count = 2;
        break;
    default:
        break;
    }
    int buttonsWidth = 0;
    for (int i = 0; i < count; ++i) {
        box.buttons.push_back(tmButton{names[i].label, names[i].answer, 0});
        buttonsWidth += static_cast<int>(std::string(names[i].label).size()) + 4 + (i ? 2 : 0);
    }
    box.defaultButton = clampInt(static_cast<int>((type >> 8) & 0xFu), 0, count - 1);
    box.escapeAnswer = 0;
    for (int wanted : {IDCANCEL, IDNO, IDOK}) {
        for (const tmButton& button : box.buttons) {
            if (!box.escapeAnswer && button.answer == wanted) box.escapeAnswer = wanted;
        }
    }

    // The inside of the frame: two blanks each side of the text.
    const int widest = g.columns - 4 > 10 ? g.columns - 4 : 10;
    int inner = static_cast<int>(caption.size()) + 4;
    if (buttonsWidth > inner) inner = buttonsWidth;
    const std::vector<std::string> unwrapped = tmWrapText(text, 1 << 20);
    for (const std::string& line : unwrapped) {
        if (static_cast<int>(line.size()) > inner) inner = static_cast<int>(line.size());
    }
    if (inner + 4 > widest) inner = widest - 4;
    box.lines = tmWrapText(text, inner);
    box.width = inner + 4;
    const int maxLines = g.rows - 5 > 1 ? g.rows - 5 : 1;
    if (static_cast<int>(box.lines.size()) > maxLines) box.lines.resize(static_cast<size_t>(maxLines));
    box.height = static_cast<int>(box.lines.size()) + 5;
    box.left = (g.columns - box.width) / 2;
    if (box.left < 0) box.left = 0;
    box.top = (g.rows - box.height) / 2;
    if (box.top < 0) box.top = 0;
    box.buttonRow = box.top + box.height - 2;
    int column = box.left + (box.width - buttonsWidth) / 2;
    for (tmButton& button : box.buttons) {
        button.column = column;
        column += static_cast<int>(button.label.size()) + 4 + 2;
    }
    return box;
}

int tmBoxAnswerForKey(const tmBoxLayout& layout, unsigned char c)
{
    for (const tmButton& button : layout.buttons) {
        if (std::toupper(c) == static_cast<unsigned char>(button.label[0])) return button.answer;
    }
    return 0;
}

int tmBoxButtonAt(const tmBoxLayout& layout, int row, int column)
{
    if (row != layout.buttonRow) return -1;
    for (int i = 0; i < static_cast<int>(layout.buttons.size()); ++i) {
        const tmButton& button = layout.buttons[static_cast<size_t>(i)];
        if (column >= button.column && column < button.column + static_cast<int>(button.label.size()) + 4) return i;
    }
    return -1;
}
