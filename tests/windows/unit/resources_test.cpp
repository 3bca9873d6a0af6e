// The compiled resources agree with the console's resource tables, which
// this test program takes from the console's own registration at start-up:
// the "Vellomex" menu item by item, its accelerator table entry by entry,
// and the "PrintDlgBox" dialog; the icon and the version information exist.
#include <string>
#include <vector>

#include "console/console.h"
#include "tests/windows/unit/support.h"

namespace {

const plMenuTemplateItem* menuItems;
int menuCount;
const plAccelEntry* accelEntries;
int accelCount;
const plDialogTemplate* printDialog;

struct Registered {
    Registered() { registerConsoleResources(nullptr); }
};

void registerOnce()
{
    static Registered registered;
}

// Walks one level of the compiled menu against the table from index i on;
// returns the index after the level's last item.
int compareLevel(HMENU menu, int i)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position, ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        if (i >= menuCount) {
            ADD_FAILURE() << "the compiled menu has more items";
            return i;
        }
        const plMenuTemplateItem& item = menuItems[i];
        char text[256] = "";
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) {
            ADD_FAILURE() << "no item at " << position;
            return i;
        }
        EXPECT_EQ((item.flags & MF_END) != 0, position == count - 1);
        EXPECT_EQ((info.fType & MFT_SEPARATOR) != 0, (item.flags & MF_SEPARATOR) != 0);
        if (item.flags & MF_SEPARATOR) {
            continue;
        }
        EXPECT_EQ((info.fState & MFS_GRAYED) != 0, (item.flags & MF_GRAYED) != 0);
        EXPECT_STREQ(text, item.text);
        EXPECT_EQ(info.hSubMenu != nullptr, (item.flags & MF_POPUP) != 0);
        if (info.hSubMenu != nullptr) {
            i = compareLevel(info.hSubMenu, i + 1) - 1;
        } else {
            EXPECT_EQ(info.wID, item.id);
        }
    }
    return i;
}

TEST(Resources, TheCompiledMenuIsTheConsolesTable)
{
    registerOnce();
    ASSERT_NE(menuItems, nullptr);
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), "Vellomex");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(compareLevel(menu, 0), menuCount);
    DestroyMenu(menu);
}

TEST(Resources, TheCompiledShortcutsAreTheConsolesTable)
{
    registerOnce();
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), "Vellomex");
    ASSERT_NE(table, nullptr);
    std::vector<ACCEL> entries(static_cast<size_t>(CopyAcceleratorTableA(table, nullptr, 0)));
    CopyAcceleratorTableA(table, entries.data(), static_cast<int>(entries.size()));
    ASSERT_EQ(static_cast<int>(entries.size()), accelCount);
    for (int i = 0; i < accelCount; ++i) {
        EXPECT_EQ(entries[i].fVirt & ~0x80, accelEntries[i].virt) << "entry " << i;   // 0x80 ends the table
        EXPECT_EQ(entries[i].key, accelEntries[i].key) << "entry " << i;
        EXPECT_EQ(entries[i].cmd, accelEntries[i].cmd) << "entry " << i;
    }
}

INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(Resources, ThePrintingDialogVersionAndIconAreThere)
{
    registerOnce();
    ASSERT_NE(printDialog, nullptr);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "PrintDlgBox", nullptr, quietDialog, 0);
    ASSERT_NE(dialog, nullptr);
    char text[256] = "";
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ(text, printDialog->caption);
    for (int i = 0; i < printDialog->itemCount; ++i) {
        const plDialogItemTemplate& item = printDialog->items[i];
        if (item.id == 0xFFFF) {
            continue;
        }
        HWND control = GetDlgItem(dialog, item.id);
        ASSERT_NE(control, nullptr) << "item " << item.id;
        GetWindowTextA(control, text, sizeof text);
        EXPECT_STREQ(text, item.text);
        GetClassNameA(control, text, sizeof text);
        EXPECT_STRCASEEQ(text, item.kind == plDialogButton ? "Button" : "Static");
    }
    DestroyWindow(dialog);

    HMODULE self = GetModuleHandleA(nullptr);
    EXPECT_NE(FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr);   // the icon group
    EXPECT_NE(FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr);   // the version
}

}  // namespace

// The console's registration at start-up, taken here instead of by the
// pass-through (which has nothing to do with it in the native build).
void plAddMenuResource(plHinstance, const char* name, const plMenuTemplateItem* items, int count)
{
    if (std::string(name) == "Vellomex") {
        menuItems = items;
        menuCount = count;
    }
}

void plAddAcceleratorResource(plHinstance, const char* name, const plAccelEntry* entries, int count)
{
    if (std::string(name) == "Vellomex") {
        accelEntries = entries;
        accelCount = count;
    }
}

void plAddDialogResource(plHinstance, const char* name, const plDialogTemplate* dialog)
{
    if (std::string(name) == "PrintDlgBox") {
        printDialog = dialog;
    }
}
