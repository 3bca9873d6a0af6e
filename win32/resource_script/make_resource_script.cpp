// Writes the native program's resource script from the console's own
// resource tables (console/resources.cpp), so that the menu, the shortcuts
// and the printing dialog have one source: the tables the portable window
// system is handed at start-up.  Built and run on the build host.
//
//   make_resource_script SCRIPT ICON VERSION
//
// writes the resource script SCRIPT (the "Vellomex" menu and accelerator
// table, the "PrintDlgBox" dialog, the application icon ICON and the
// version information for VERSION, "MAJOR.MINOR") and the icon file ICON.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/console.h"
#include "data/icon.h"

namespace {

struct MenuResource {
    std::string name;
    const plMenuTemplateItem* items = nullptr;
    int count = 0;
};
struct AcceleratorResource {
    std::string name;
    const plAccelEntry* entries = nullptr;
    int count = 0;
};
struct DialogResource {
    std::string name;
    const plDialogTemplate* dialog = nullptr;
};

std::vector<MenuResource> menus;
std::vector<AcceleratorResource> accelerators;
std::vector<DialogResource> dialogs;

// A string as the resource compiler reads it.
std::string quoted(const char* text)
{
    std::string out = "\"";
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        switch (*p) {
        case '"':
            out += "\"\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += *p;
        }
    }
    return out + "\"";
}

// The menu's items from index i on, up to and including the one that ends
// this level; returns the index after it.
int writeMenuLevel(std::FILE* out, const plMenuTemplateItem* items, int count, int i, int depth)
{
    const std::string indent(static_cast<size_t>(depth) * 4, ' ');
    std::fprintf(out, "%sBEGIN\n", indent.c_str());
    while (i < count) {
        const plMenuTemplateItem& item = items[i++];
        const std::string inner = indent + "    ";
        if (item.flags & MF_POPUP) {
            std::fprintf(out, "%sPOPUP %s%s\n", inner.c_str(), quoted(item.text).c_str(),
                         (item.flags & MF_GRAYED) ? ", GRAYED" : "");
            i = writeMenuLevel(out, items, count, i, depth + 1);
        } else if (item.flags & MF_SEPARATOR) {
            std::fprintf(out, "%sMENUITEM SEPARATOR\n", inner.c_str());
        } else {
            std::fprintf(out, "%sMENUITEM %s, %u%s\n", inner.c_str(), quoted(item.text).c_str(),
                         static_cast<unsigned>(item.id), (item.flags & MF_GRAYED) ? ", GRAYED" : "");
        }
        if (item.flags & MF_END) {
            break;
        }
    }
    std::fprintf(out, "%sEND\n", indent.c_str());
    return i;
}

void writeMenu(std::FILE* out, const MenuResource& menu)
{
    std::fprintf(out, "%s MENU\n", menu.name.c_str());
    writeMenuLevel(out, menu.items, menu.count, 0, 0);
    std::fprintf(out, "\n");
}

void writeAccelerators(std::FILE* out, const AcceleratorResource& table)
{
    std::fprintf(out, "%s ACCELERATORS\nBEGIN\n", table.name.c_str());
    for (int i = 0; i < table.count; ++i) {
        const plAccelEntry& entry = table.entries[i];
        std::string options = (entry.virt & FVIRTKEY) ? "VIRTKEY" : "ASCII";
        if (entry.virt & FSHIFT) {
            options += ", SHIFT";
        }
        if (entry.virt & FCONTROL) {
            options += ", CONTROL";
        }
        if (entry.virt & FALT) {
            options += ", ALT";
        }
        std::fprintf(out, "    %u, %u, %s\n", static_cast<unsigned>(entry.key), static_cast<unsigned>(entry.cmd),
                     options.c_str());
    }
    std::fprintf(out, "END\n\n");
}

void writeDialog(std::FILE* out, const DialogResource& resource)
{
    const plDialogTemplate& dialog = *resource.dialog;
    std::fprintf(out, "%s DIALOG %d, %d, %d, %d\n", resource.name.c_str(), dialog.x, dialog.y, dialog.cx, dialog.cy);
    std::fprintf(out, "STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE\n");
    std::fprintf(out, "CAPTION %s\n", quoted(dialog.caption).c_str());
    std::fprintf(out, "FONT 8, \"MS Shell Dlg\"\nBEGIN\n");
    for (int i = 0; i < dialog.itemCount; ++i) {
        const plDialogItemTemplate& item = dialog.items[i];
        const int id = item.id == 0xFFFF ? -1 : static_cast<int>(item.id);
        std::fprintf(out, "    %s %s, %d, %d, %d, %d, %d\n", item.kind == plDialogButton ? "PUSHBUTTON" : "LTEXT",
                     quoted(item.text).c_str(), id, item.x, item.y, item.cx, item.cy);
    }
    std::fprintf(out, "END\n\n");
}

void writeVersion(std::FILE* out, int major, int minor)
{
    std::fprintf(out,
                 "VS_VERSION_INFO VERSIONINFO\n"
                 "FILEVERSION %d, %d, 0, 0\n"
                 "PRODUCTVERSION %d, %d, 0, 0\n"
                 "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK\n"
                 "FILEFLAGS 0\n"
                 "FILEOS VOS_NT_WINDOWS32\n"
                 "FILETYPE VFT_APP\n"
                 "FILESUBTYPE VFT2_UNKNOWN\n"
                 "BEGIN\n"
                 "    BLOCK \"StringFileInfo\"\n"
                 "    BEGIN\n"
                 "        BLOCK \"040904E4\"\n"
                 "        BEGIN\n"
                 "            VALUE \"FileDescription\", \"Rastrel scan converter\"\n"
                 "            VALUE \"FileVersion\", \"%d.%d\"\n"
                 "            VALUE \"InternalName\", \"rastrel\"\n"
                 "            VALUE \"OriginalFilename\", \"rastrel.exe\"\n"
                 "            VALUE \"ProductName\", \"Rastrel\"\n"
                 "            VALUE \"ProductVersion\", \"%d.%d\"\n"
                 "        END\n"
                 "    END\n"
                 "    BLOCK \"VarFileInfo\"\n"
                 "    BEGIN\n"
                 "        VALUE \"Translation\", 0x409, 1252\n"
                 "    END\n"
                 "END\n",
                 major, minor, major, minor, major, minor, major, minor);
}

// ---------------------------------------------------------------------------
// The application icon (data/icon.h) at 32 and 16 pixels.

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void put16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// One image of the icon: the header, the colour pixels (bottom row first,
// blue, green, red, alpha) and the transparency mask.
std::vector<uint8_t> iconImage(int size)
{
    std::vector<uint8_t> image;
    put32(image, 40);
    put32(image, static_cast<uint32_t>(size));
    put32(image, static_cast<uint32_t>(size * 2));
    put16(image, 1);
    put16(image, 32);
    for (int i = 0; i < 6; ++i) {
        put32(image, 0);
    }
    for (int row = size - 1; row >= 0; --row) {
        for (int column = 0; column < size; ++column) {
            const iconPixel pixel = iconPixelAt(size, row, column);
            image.push_back(pixel.grey);
            image.push_back(pixel.grey);
            image.push_back(pixel.grey);
            image.push_back(pixel.alpha);
        }
    }
    const int maskRow = ((size + 31) / 32) * 4;
    for (int row = 0; row < size; ++row) {
        std::vector<uint8_t> bits(static_cast<size_t>(maskRow), 0);
        for (int column = 0; column < size; ++column) {
            if (iconPixelAt(size, row, column).alpha == 0) {
                bits[static_cast<size_t>(column / 8)] |= static_cast<uint8_t>(0x80 >> (column % 8));
            }
        }
        image.insert(image.end(), bits.begin(), bits.end());
    }
    return image;
}

bool writeIcon(const char* path)
{
    const int sizes[] = {32, 16};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) {
        images.push_back(iconImage(size));
    }
    std::vector<uint8_t> file;
    put16(file, 0);
    put16(file, 1);
    put16(file, static_cast<uint16_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(0);
        file.push_back(0);
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::vector<uint8_t>& image : images) {
        file.insert(file.end(), image.begin(), image.end());
    }
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        return false;
    }
    bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace

// The registrations the console makes at start-up, taken down here.
void plAddMenuResource(plHinstance, const char* name, const plMenuTemplateItem* items, int count)
{
    menus.push_back({name, items, count});
}

void plAddAcceleratorResource(plHinstance, const char* name, const plAccelEntry* entries, int count)
{
    accelerators.push_back({name, entries, count});
}

void plAddDialogResource(plHinstance, const char* name, const plDialogTemplate* dialog)
{
    dialogs.push_back({name, dialog});
}

int main(int argc, char** argv)
{
    int major = 0;
    int minor = 0;
    if (argc != 4 || std::sscanf(argv[3], "%d.%d", &major, &minor) != 2) {
        std::fprintf(stderr, "usage: %s SCRIPT ICON MAJOR.MINOR\n", argv[0]);
        return 2;
    }
    registerConsoleResources(nullptr);

    if (!writeIcon(argv[2])) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }

    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    std::fprintf(out,
                 "// The resources of rastrel.exe, written by make_resource_script from the\n"
                 "// console's resource tables (console/resources.cpp).  Do not edit.\n"
                 "#include <windows.h>\n\n"
                 "1 ICON %s\n\n",
                 quoted(argv[2]).c_str());
    for (const MenuResource& menu : menus) {
        writeMenu(out, menu);
    }
    for (const AcceleratorResource& table : accelerators) {
        writeAccelerators(out, table);
    }
    for (const DialogResource& dialog : dialogs) {
        writeDialog(out, dialog);
    }
    writeVersion(out, major, minor);
    const bool written = !std::ferror(out);
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
