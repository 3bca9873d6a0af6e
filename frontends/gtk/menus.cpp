// The menu bar, built from the window's menu: popups, items with their
// mnemonics and accelerator texts, separators and grayed items.  The
// console's "menu is opening" message runs before a popup shows, so its
// items' states are right each time; choosing an item posts its command.
#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"

namespace gw {

namespace {

struct ItemTarget {
    View* view;
    uint16_t id;
};

struct PopupTarget {
    View* view;
    int position;
};

void onItemActivate(GtkMenuItem*, gpointer data)
{
    const ItemTarget* target = static_cast<const ItemTarget*>(data);
    if (pwChooseMenuItem(target->view->handle, target->id) == 1) noteInput();
}

void onPopupShow(GtkWidget*, gpointer data)
{
    const PopupTarget* target = static_cast<const PopupTarget*>(data);
    pwOpenMenu(target->view->handle, target->position);
    refreshMenu(target->view);
}

void freeTarget(gpointer data, GClosure*)
{
    g_free(data);
}

// An item: its label with the mnemonic on the left, the accelerator text
// exactly as the menu gives it on the right.
GtkWidget* makeItem(const pwMenuItemInfo& info)
{
    std::string accelerator;
    const std::string label = gwMenuLabel(info.text, &accelerator);
    GtkWidget* item = gtk_menu_item_new();
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 24);
    GtkWidget* name = gtk_label_new_with_mnemonic(label.c_str());
    gtk_label_set_xalign(GTK_LABEL(name), 0);
    gtk_label_set_mnemonic_widget(GTK_LABEL(name), item);
    gtk_box_pack_start(GTK_BOX(box), name, TRUE, TRUE, 0);
    if (!accelerator.empty()) {
        const std::string keys = gwFromAnsiText(accelerator.data(), accelerator.size());
        GtkWidget* shortcut = gtk_label_new(keys.c_str());
        gtk_label_set_xalign(GTK_LABEL(shortcut), 1);
        gtk_style_context_add_class(gtk_widget_get_style_context(shortcut), "dim-label");
        gtk_box_pack_end(GTK_BOX(box), shortcut, FALSE, FALSE, 0);
    }
    gtk_container_add(GTK_CONTAINER(item), box);
    return item;
}

}  // namespace

void buildMenuBar(View* view)
{
    plHmenu bar = plGetMenu(view->handle);
    const int popups = bar ? pwMenuItemCount(bar) : 0;
    if (popups <= 0) return;
    view->menuBar = gtk_menu_bar_new();
    for (int position = 0; position < popups; ++position) {
        pwMenuItemInfo header{};
        if (!pwMenuItem(bar, position, &header)) continue;
        GtkWidget* top = gtk_menu_item_new_with_mnemonic(gwMenuLabel(header.text, nullptr).c_str());
        gtk_menu_shell_append(GTK_MENU_SHELL(view->menuBar), top);
        if (!header.popup) continue;
        GtkWidget* menu = gtk_menu_new();
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
        PopupTarget* popupTarget = g_new(PopupTarget, 1);
        *popupTarget = PopupTarget{view, position};
        g_signal_connect_data(menu, "show", G_CALLBACK(onPopupShow), popupTarget, freeTarget, GConnectFlags(0));
        const int count = pwMenuItemCount(header.popup);
        for (int i = 0; i < count; ++i) {
            pwMenuItemInfo info{};
            if (!pwMenuItem(header.popup, i, &info)) continue;
            if ((info.flags & MF_SEPARATOR) || !info.text) {
                gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
                continue;
            }
            GtkWidget* item = makeItem(info);
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
            ItemTarget* target = g_new(ItemTarget, 1);
            *target = ItemTarget{view, info.id};
            g_signal_connect_data(item, "activate", G_CALLBACK(onItemActivate), target, freeTarget, GConnectFlags(0));
            view->menuItems.push_back(MenuEntry{info.id, item});
        }
    }
    refreshMenu(view);
}

void refreshMenu(View* view)
{
    plHmenu bar = plGetMenu(view->handle);
    if (!bar) return;
    for (const MenuEntry& entry : view->menuItems) {
        const int flags = pwMenuItemState(bar, entry.id);
        gtk_widget_set_sensitive(entry.item, flags >= 0 && (flags & (MF_GRAYED | MF_DISABLED)) == 0);
    }
}

}  // namespace gw
