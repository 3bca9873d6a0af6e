// The menus drawn over the window: the bar's popups, run by keys and the
// pointer until a command is chosen or they are closed.
#include "frontends/terminal/dialog_parts.h"
#include "portable/input.h"

namespace {

std::vector<tmPopupItem> readPopup(plHmenu popup)
{
    std::vector<tmPopupItem> items;
    pwMenuItemInfo info{};
    for (int i = 0; pwMenuItem(popup, i, &info); ++i) {
        tmPopupItem item{};
        item.separator = (info.flags & MF_SEPARATOR) != 0 || !info.text;
        item.grayed = (info.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        item.id = info.id;
        if (!item.separator) item.text = tmParseMenuText(info.text);
        items.push_back(item);
    }
    return items;
}

void drawPopup(const tmPopupLayout& layout, const std::vector<tmPopupItem>& items, int selected)
{
    WINDOW* w = tmOpenOverlay(layout.top, layout.left, layout.height, layout.width);
    if (!w) return;
    frame(w);
    const int shown = layout.height - 2;
    for (int i = 0; i < shown && i < static_cast<int>(items.size()); ++i) {
        const tmPopupItem& item = items[static_cast<size_t>(i)];
        const int row = i + 1;
        if (item.separator) {
            mvwaddch(w, row, 0, ACS_LTEE);
            mvwhline(w, row, 1, ACS_HLINE, layout.width - 2);
            mvwaddch(w, row, layout.width - 1, ACS_RTEE);
            continue;
        }
        const attr_t base = (i == selected ? A_REVERSE : A_NORMAL) | (item.grayed ? A_DIM : A_NORMAL);
        wattrset(w, base);
        mvwhline(w, row, 1, ' ', layout.width - 2);
        wattrset(w, A_NORMAL);
        const std::string& label = item.text.label;
        for (int k = 0; k < static_cast<int>(label.size()) && 2 + k < layout.width - 1; ++k) {
            const attr_t attributes = k == item.text.mnemonic && !item.grayed ? base | A_UNDERLINE : base;
            tmPutBytes(w, row, 2 + k, &label[static_cast<size_t>(k)], 1, attributes);
        }
        const int accel = layout.accelColumn - layout.left;
        if (!item.text.accelerator.empty() && accel < layout.width - 1) {
            tmPutText(w, row, accel, item.text.accelerator, layout.width - 1 - accel, base);
        }
    }
}

int lastItem(const std::vector<tmPopupItem>& items)
{
    return tmPopupStep(items, 0, -1);
}

}  // namespace

int tmRunMenu(int position)
{
    plHwnd window = tmS.mainWindow;
    if (!window || !pwIsEnabled(window) || !tmS.active || tmS.hungUp) return 0;
    pwPresent();
    modalScope scope;
    const tmMenuBar bar = tmReadMenuBar();
    const int count = static_cast<int>(bar.items.size());
    if (count == 0) return 0;
    position = ((position % count) + count) % count;
    for (;;) {
        plHmenu popup = pwOpenMenu(window, position);
        if (!popup || !tmS.mainWindow) return 0;
        const std::vector<tmPopupItem> items = readPopup(popup);
        if (items.empty()) return 0;
        int selected = tmPopupStep(items, static_cast<int>(items.size()) - 1, 1);
        tmS.openMenu = position;
        bool reopen = false;
        while (!reopen) {
            const tmPopupLayout layout = tmLayoutPopup(items, tmMenuBarColumn(bar, position), tmS.geometry);
            drawPopup(layout, items, selected);
            tmDrawFrame();
            tmEvent event{};
            if (!tmNextEvent(&event, -1)) return 0;
            int chosen = -1;
            switch (event.kind) {
            case tmKey:
                if (event.key == VK_UP || event.key == VK_DOWN) {
                    selected = tmPopupStep(items, selected, event.key == VK_UP ? -1 : 1);
                } else if (event.key == VK_LEFT || event.key == VK_RIGHT) {
                    position = (position + (event.key == VK_LEFT ? count - 1 : 1)) % count;
                    reopen = true;
                } else if (event.key == VK_HOME) {
                    selected = tmPopupStep(items, static_cast<int>(items.size()) - 1, 1);
                } else if (event.key == VK_END) {
                    selected = lastItem(items);
                }
                break;
            case tmCharacter:
                if (event.byte == '\r') {
                    chosen = selected;
                } else if ((chosen = tmPopupMnemonic(items, event.byte)) < 0) {
                    ringBell();
                }
                break;
            case tmEscape:
                return 0;
            case tmMenuKey:
                if (event.menu == position || event.menu >= count) return 0;
                position = event.menu;
                reopen = true;
                break;
            case tmCloseKey:
                tmCloseOverlay();
                pwClose(window);
                return 1;
            case tmMouse: {
                const tmMouseReport& m = event.mouse;
                if (m.button != 0 || m.kind == tmWheelUp || m.kind == tmWheelDown) break;
                if (m.row == 0) {
                    const int item = tmMenuBarItemAt(bar, m.column);
                    if (item >= 0 && item != position) {
                        position = item;
                        reopen = true;
                    } else if (m.kind == tmPress && (item == position || item < 0)) {
                        return 0;
                    }
                    break;
                }
                const int item = tmPopupItemAt(layout, items, m.row, m.column);
                if (item >= 0) {
                    selected = item;
                    if (m.kind == tmRelease) chosen = item;
                } else if (m.kind == tmPress) {
                    const bool inside = m.row >= layout.top && m.row < layout.top + layout.height &&
                                        m.column >= layout.left && m.column < layout.left + layout.width;
                    if (!inside) return 0;
                }
                break;
            }
            default:
                break;
            }
            if (chosen >= 0) {
                if (items[static_cast<size_t>(chosen)].grayed) {
                    ringBell();
                    selected = chosen;
                    continue;
                }
                tmCloseOverlay();
                tmS.openMenu = -1;
                return pwChooseMenuItem(window, items[static_cast<size_t>(chosen)].id) == 1 ? 1 : 0;
            }
        }
    }
}

