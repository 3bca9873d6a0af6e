// Resources registered by the program, menus with enabled and grayed items,
// the system menu, and accelerator translation.
//
// A menu template is a flat list in the order of the host system's menu
// resources: an item with MF_POPUP opens a popup whose items follow it; the
// item with MF_END is the last of its popup (or of the menu bar).
#include <cstring>
#include <strings.h>

#include "portable/internal.h"

namespace ws {

enum { maxResources = 16, maxMenus = 64, maxMenuItems = 32 };

struct MenuResource {
    plHinstance instance;
    const char* name;
    const plMenuTemplateItem* items;
    int count;
};
struct AccelResource {
    bool used;
    uint16_t generation;
    plHinstance instance;
    const char* name;
    const plAccelEntry* entries;
    int count;
};
struct DialogResource {
    plHinstance instance;
    const char* name;
    const plDialogTemplate* dialog;
};

struct MenuItem {
    uint32_t flags;            // MF_GRAYED, MF_DISABLED, MF_POPUP, MF_SEPARATOR
    uint16_t id;
    const char* text;
    plHmenu popup;
};
struct Menu {
    bool used;
    uint16_t generation;
    int count;
    MenuItem items[maxMenuItems];
    plHmenu parent;
    int positionInParent;
};

static MenuResource menuResources[maxResources];
static int menuResourceCount = 0;
static AccelResource accelResources[maxResources];
static DialogResource dialogResources[maxResources];
static int dialogResourceCount = 0;
static Menu menus[maxMenus];

static bool sameName(const char* a, const char* b)
{
    return a && b && strcasecmp(a, b) == 0;
}

static Menu* menuOf(plHmenu handle)
{
    int index = slotOf(reinterpret_cast<uintptr_t>(handle), menus);
    return index < 0 ? nullptr : &menus[index];
}

static plHmenu newMenu(plHmenu parent, int position)
{
    for (int i = 0; i < maxMenus; ++i) {
        if (menus[i].used) continue;
        uint16_t generation = nextGeneration(menus[i].generation);
        menus[i] = Menu{};
        menus[i].used = true;
        menus[i].generation = generation;
        menus[i].parent = parent;
        menus[i].positionInParent = position;
        return reinterpret_cast<plHmenu>(packHandle(i, generation));
    }
    lastError = 8;
    return nullptr;
}

void destroyMenu(plHmenu handle)
{
    Menu* m = menuOf(handle);
    if (!m) return;
    m->used = false;
    for (int i = 0; i < m->count; ++i) {
        if (m->items[i].popup) destroyMenu(m->items[i].popup);
    }
}

// Builds the items of one level from position *next on; false when the
// template is malformed or the tables are full.
static bool buildLevel(plHmenu handle, const plMenuTemplateItem* items, int count, int* next, int depth)
{
    if (depth > 8) return false;
    while (*next < count) {
        const plMenuTemplateItem& source = items[(*next)++];
        Menu* m = menuOf(handle);
        if (!m || m->count == maxMenuItems) return false;
        int position = m->count++;
        MenuItem& item = m->items[position];
        item.flags = source.flags & (MF_GRAYED | MF_DISABLED | MF_POPUP | MF_SEPARATOR);
        item.id = source.id;
        item.text = source.text;
        item.popup = nullptr;
        if (source.flags & MF_POPUP) {
            plHmenu popup = newMenu(handle, position);
            if (!popup) return false;
            menuOf(handle)->items[position].popup = popup;
            if (!buildLevel(popup, items, count, next, depth + 1)) return false;
        }
        if (source.flags & MF_END) return true;
    }
    return true;
}

plHmenu loadMenuFor(plHinstance instance, const char* name)
{
    for (int r = 0; r < menuResourceCount; ++r) {
        const MenuResource& resource = menuResources[r];
        if (resource.instance != instance || !sameName(resource.name, name)) continue;
        plHmenu bar = newMenu(nullptr, -1);
        if (!bar) return nullptr;
        int next = 0;
        if (!buildLevel(bar, resource.items, resource.count, &next, 0)) {
            destroyMenu(bar);
            lastError = 8;
            return nullptr;
        }
        return bar;
    }
    lastError = 1814;   // resource name not found
    return nullptr;
}

const plDialogTemplate* findDialogResource(plHinstance instance, const char* name)
{
    for (int r = 0; r < dialogResourceCount; ++r) {
        if (dialogResources[r].instance == instance && sameName(dialogResources[r].name, name)) {
            return dialogResources[r].dialog;
        }
    }
    return nullptr;
}

// Finds the item with a command id in a menu and its popups.
static bool findItem(plHmenu handle, uint32_t id, plHmenu* holder, int* position, int depth = 0)
{
    Menu* m = menuOf(handle);
    if (!m || depth > 8) return false;
    for (int i = 0; i < m->count; ++i) {
        const MenuItem& item = m->items[i];
        if (item.popup) {
            if (findItem(item.popup, id, holder, position, depth + 1)) return true;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
            *holder = handle;
            *position = i;
            return true;
        }
    }
    return false;
}

int menuItemState(plHmenu menu, uint16_t id)
{
    plHmenu holder = nullptr;
    int position = 0;
    if (!findItem(menu, id, &holder, &position)) return -1;
    return static_cast<int>(menuOf(holder)->items[position].flags & (MF_GRAYED | MF_DISABLED));
}

int openPopupFor(plHwnd window, uint16_t id)
{
    Window* w = windowOf(window);
    if (!w) return -1;
    plHmenu bar = w->menu;
    plHmenu holder = nullptr;
    int position = 0;
    if (!findItem(bar, id, &holder, &position)) return -1;
    Menu* popup = menuOf(holder);
    if (popup->parent) {
        callProcedure(window, WM_INITMENUPOPUP, reinterpret_cast<plWparam>(holder),
                      plMakeLong(static_cast<unsigned>(popup->positionInParent), 0));
    }
    // The procedure may have changed (or even destroyed) the menu.
    w = windowOf(window);
    return w ? menuItemState(w->menu, id) : -1;
}

void resetMenus()
{
    menuResourceCount = 0;
    dialogResourceCount = 0;
    for (AccelResource& a : accelResources) {
        uint16_t generation = a.generation;
        a = AccelResource{};
        a.generation = generation;
    }
    for (Menu& m : menus) {
        uint16_t generation = m.generation;
        m = Menu{};
        m.generation = generation;
    }
}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Registration.  A second registration under the same instance and name
// replaces the first.

void plAddMenuResource(plHinstance instance, const char* name, const plMenuTemplateItem* items, int count)
{
    if (!name || !items || count <= 0) return;
    for (int r = 0; r < menuResourceCount; ++r) {
        if (menuResources[r].instance == instance && sameName(menuResources[r].name, name)) {
            menuResources[r] = MenuResource{instance, name, items, count};
            return;
        }
    }
    if (menuResourceCount < maxResources) menuResources[menuResourceCount++] = MenuResource{instance, name, items, count};
}

void plAddAcceleratorResource(plHinstance instance, const char* name, const plAccelEntry* entries, int count)
{
    if (!name || !entries || count <= 0) return;
    int freeSlot = -1;
    for (int r = 0; r < maxResources; ++r) {
        AccelResource& a = accelResources[r];
        if (a.used && a.instance == instance && sameName(a.name, name)) {
            a.entries = entries;
            a.count = count;
            return;
        }
        if (!a.used && freeSlot < 0) freeSlot = r;
    }
    if (freeSlot < 0) return;
    AccelResource& a = accelResources[freeSlot];
    a.used = true;
    a.generation = nextGeneration(a.generation);
    a.instance = instance;
    a.name = name;
    a.entries = entries;
    a.count = count;
}

void plAddDialogResource(plHinstance instance, const char* name, const plDialogTemplate* dialog)
{
    if (!name || !dialog) return;
    for (int r = 0; r < dialogResourceCount; ++r) {
        if (dialogResources[r].instance == instance && sameName(dialogResources[r].name, name)) {
            dialogResources[r].dialog = dialog;
            return;
        }
    }
    if (dialogResourceCount < maxResources) dialogResources[dialogResourceCount++] = DialogResource{instance, name, dialog};
}

// ---------------------------------------------------------------------------
// Menus.

plHmenu plLoadMenu(plHinstance instance, const char* name)
{
    return loadMenuFor(instance, name);
}

plHmenu plGetMenu(plHwnd window)
{
    Window* w = windowOf(window);
    return w ? w->menu : nullptr;
}

plHmenu plGetSystemMenu(plHwnd window, int revert)
{
    Window* w = windowOf(window);
    if (!w) return nullptr;
    if (revert) {
        if (w->systemMenu) destroyMenu(w->systemMenu);
        w->systemMenu = nullptr;
        return nullptr;
    }
    if (!w->systemMenu) {
        static const plMenuTemplateItem systemItems[] = {
            {0, 0xF120, "&Restore"},  {0, 0xF010, "&Move"},     {0, 0xF000, "&Size"},
            {0, 0xF020, "Mi&nimize"}, {0, 0xF030, "Ma&ximize"}, {MF_SEPARATOR, 0, nullptr},
            {MF_END, SC_CLOSE, "&Close\tAlt+F4"},
        };
        plHmenu menu = newMenu(nullptr, -1);
        if (!menu) return nullptr;
        int next = 0;
        buildLevel(menu, systemItems, 7, &next, 0);
        w->systemMenu = menu;
    }
    return w->systemMenu;
}

int plEnableMenuItem(plHmenu menu, uint32_t id, uint32_t flags)
{
    plHmenu holder = nullptr;
    int position = 0;
    if (flags & MF_BYPOSITION) {
        Menu* m = menuOf(menu);
        if (!m || id >= static_cast<uint32_t>(m->count)) return -1;
        holder = menu;
        position = static_cast<int>(id);
    } else if (!findItem(menu, id, &holder, &position)) {
        return -1;
    }
    MenuItem& item = menuOf(holder)->items[position];
    int previous = static_cast<int>(item.flags & (MF_GRAYED | MF_DISABLED));
    item.flags = (item.flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    if (static_cast<uint32_t>(previous) != (flags & (MF_GRAYED | MF_DISABLED))) menuChanged = true;
    return previous;
}

// ---------------------------------------------------------------------------
// Accelerators.

plHaccel plLoadAccelerators(plHinstance instance, const char* name)
{
    for (int r = 0; r < maxResources; ++r) {
        const AccelResource& a = accelResources[r];
        if (a.used && a.instance == instance && sameName(a.name, name)) {
            return reinterpret_cast<plHaccel>(packHandle(r, a.generation));
        }
    }
    lastError = 1814;
    return nullptr;
}

// An entry without FVIRTKEY is an ASCII character and matches WM_CHAR; an
// entry with FVIRTKEY matches WM_KEYDOWN of that key (no modifier state is
// kept, so entries that need Shift, Ctrl or Alt never match a key-down).
//
// On a match the popup that holds the command's menu item is initialised
// (WM_INITMENUPOPUP) and WM_COMMAND is sent only when the item is then
// enabled.  The key counts as translated either way, so a grayed command's
// key is swallowed rather than handled as a typed character.  A command with
// no menu item is sent directly.
int plTranslateAccelerator(plHwnd window, plHaccel accelerators, plMsg* msg)
{
    int index = slotOf(reinterpret_cast<uintptr_t>(accelerators), accelResources);
    if (index < 0 || !msg || !windowOf(window)) return 0;
    if (msg->message != WM_CHAR && msg->message != WM_KEYDOWN) return 0;
    const AccelResource& a = accelResources[index];
    for (int i = 0; i < a.count; ++i) {
        const plAccelEntry& entry = a.entries[i];
        bool virtualKey = (entry.virt & FVIRTKEY) != 0;
        bool matches = virtualKey ? msg->message == WM_KEYDOWN && msg->wParam == entry.key &&
                                        (entry.virt & (FSHIFT | FCONTROL | FALT)) == 0
                                  : msg->message == WM_CHAR && (msg->wParam & 0xFFFFu) == entry.key;
        if (!matches) continue;
        uint16_t command = entry.cmd;
        int state = openPopupFor(window, command);
        if (state == -1) {
            callProcedure(window, WM_COMMAND, static_cast<plWparam>(plMakeLong(command, 1)), 0);
        } else if ((state & (MF_GRAYED | MF_DISABLED)) == 0) {
            callProcedure(window, WM_COMMAND, static_cast<plWparam>(plMakeLong(command, 1)), 0);
        }
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Reading menus.

int pwMenuItemCount(plHmenu menu)
{
    Menu* m = menuOf(menu);
    return m ? m->count : 0;
}

int pwMenuItem(plHmenu menu, int position, pwMenuItemInfo* item)
{
    Menu* m = menuOf(menu);
    if (!m || position < 0 || position >= m->count) return 0;
    const MenuItem& source = m->items[position];
    if (item) *item = pwMenuItemInfo{source.flags, source.id, source.text, source.popup};
    return 1;
}

int pwMenuItemState(plHmenu menu, uint16_t id)
{
    return menuItemState(menu, id);
}
