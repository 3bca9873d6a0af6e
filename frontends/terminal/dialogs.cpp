// What the terminal front end draws over the window and runs until it is
// answered: the menus, message boxes, the save prompt, the print form, and
// the cancel dialog shown while a document prints.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "frontends/terminal/internal.h"
#include "portable/input.h"

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

bool ready()
{
    return !tmS.hungUp && (tmS.active || tmStartScreen());
}

void ringBell()
{
    beep();
}

std::wstring widen(const std::string& text)
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

std::string narrow(const std::wstring& text)
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

std::string expandHome(const std::string& path)
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

bool editLine(lineEdit* line, const tmEvent& event)
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
std::string visiblePart(const lineEdit& line, int width, int* cursorCell)
{
    size_t first = 0;
    if (width < 1) width = 1;
    if (line.cursor >= static_cast<size_t>(width)) first = line.cursor - static_cast<size_t>(width) + 1;
    *cursorCell = static_cast<int>(line.cursor - first);
    return narrow(line.text.substr(first, static_cast<size_t>(width)));
}

void frame(WINDOW* window)
{
    box(window, 0, 0);
}

void putCaption(WINDOW* window, const std::string& caption, int width)
{
    if (width > 6) tmPutText(window, 0, 2, " " + caption + " ", width - 4, A_BOLD);
}

// ---------------------------------------------------------------------------
// Menus.

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

// ---------------------------------------------------------------------------
// Message boxes.

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

// ---------------------------------------------------------------------------
// The save prompt.

namespace {

bool isFolder(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0;
}

const char saveCaption[] = "Save As";

// Tab: the name before the cursor completed as far as the folder's entries
// agree.  With several entries and nothing to add, they are listed.
void completePath(lineEdit* line, std::string* listing)
{
    listing->clear();
    if (line->cursor != line->text.size()) {
        ringBell();
        return;
    }
    const std::string typed = narrow(line->text);
    const size_t slash = typed.rfind('/');
    const std::string folderPart = slash == std::string::npos ? "" : typed.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? typed : typed.substr(slash + 1);
    const std::string folder = folderPart.empty() ? "." : expandHome(folderPart);
    std::vector<std::string> matches;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (name[0] == '.' && (base.empty() || base[0] != '.')) continue;
            if (name.compare(0, base.size(), base) == 0) matches.push_back(name);
        }
        closedir(dir);
    }
    if (matches.empty()) {
        ringBell();
        return;
    }
    std::sort(matches.begin(), matches.end());
    std::string common = matches.front();
    for (const std::string& match : matches) {
        size_t k = 0;
        while (k < common.size() && k < match.size() && common[k] == match[k]) ++k;
        common.resize(k);
    }
    if (matches.size() == 1 && isFolder(folder + "/" + common)) common += '/';
    if (common.size() > base.size() || matches.size() == 1) {
        line->text = widen(folderPart + common);
        line->cursor = line->text.size();
        return;
    }
    for (const std::string& match : matches) {
        *listing += match;
        if (isFolder(folder + "/" + match)) *listing += '/';
        *listing += "  ";
    }
}

// The chosen name checked as the window system will complete it (the
// default extension added to a name without one).  True when it may be used.
bool acceptSavePath(const plOpenFileName* request, const std::string& path)
{
    if (path.empty()) {
        ringBell();
        return false;
    }
    std::string final = path;
    const size_t slash = final.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (request->defExt && request->defExt[0] && final.find('.', nameStart) == std::string::npos) {
        final += '.';
        final += request->defExt;
    }
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : final.substr(0, slash));
    if (!isFolder(folder)) {
        tmRunBox(saveCaption, ("The folder " + folder + " does not exist.").c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (nameStart == final.size() || isFolder(final)) {
        tmRunBox(saveCaption, (final + " is a folder.").c_str(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if ((request->flags & OFN_OVERWRITEPROMPT) && exists(final)) {
        const std::string question = final + " already exists.\nDo you want to replace it?";
        return tmRunBox(saveCaption, question.c_str(), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
    }
    return true;
}

}  // namespace

int tmRunSaveDialog(const plOpenFileName* request, char* path, size_t size)
{
    if (!ready()) return 0;
    modalScope scope;
    lineEdit line;
    line.text = widen(request->file && request->file[0] ? request->file : "Vellomex.txt");
    line.cursor = line.text.size();
    std::string listing;
    const std::string prompt = "Save as: ";
    for (;;) {
        const int rows = listing.empty() ? 1 : 2;
        const int top = tmS.geometry.rows - rows;
        WINDOW* w = tmOpenOverlay(top, 0, rows, tmS.geometry.columns);
        if (w) {
            wattrset(w, A_REVERSE);
            for (int r = 0; r < rows; ++r) mvwhline(w, r, 0, ' ', tmS.geometry.columns);
            wattrset(w, A_NORMAL);
            if (!listing.empty()) tmPutText(w, 0, 0, listing, tmS.geometry.columns, A_REVERSE);
            const int used = tmPutText(w, rows - 1, 0, prompt, tmS.geometry.columns, A_REVERSE | A_BOLD);
            int cursorCell = 0;
            const std::string shown = visiblePart(line, tmS.geometry.columns - used - 1, &cursorCell);
            const std::wstring before = widen(shown).substr(0, static_cast<size_t>(cursorCell));
            tmPutText(w, rows - 1, used, shown, tmS.geometry.columns - used, A_REVERSE);
            const int offset = wcswidth(before.c_str(), before.size());
            tmS.overlayCursorRow = tmS.geometry.rows - 1;
            tmS.overlayCursorColumn = used + (offset > 0 ? offset : cursorCell);
        }
        tmDrawFrame();
        tmEvent event{};
        if (!tmNextEvent(&event, -1)) return 0;
        if (event.kind == tmEscape) return 0;
        if (event.kind == tmCharacter && event.byte == '\t') {
            completePath(&line, &listing);
            continue;
        }
        if (event.kind == tmCharacter && event.byte == '\r') {
            const std::string chosen = expandHome(narrow(line.text));
            if (chosen.size() + 1 > size) {
                tmRunBox(saveCaption, "The name is too long.", MB_OK | MB_ICONEXCLAMATION);
                continue;
            }
            if (!acceptSavePath(request, chosen)) continue;
            std::memcpy(path, chosen.c_str(), chosen.size() + 1);
            return 1;
        }
        if (editLine(&line, event)) listing.clear();
    }
}

// ---------------------------------------------------------------------------
// The print form.

namespace {

enum printField { destinationField, fileField, copiesField, collateField, pagesField, fieldCount };

struct printForm {
    std::vector<std::string> destinations;   // the printers, then tmPdfDestination
    int destination;
    lineEdit file, copies, pages;
    int collate;
    int field;
    std::string problem;
};

bool isPdf(const printForm& form)
{
    return form.destinations[static_cast<size_t>(form.destination)] == tmPdfDestination;
}

int nextField(const printForm& form, int field, int direction)
{
    do {
        field = (field + direction + fieldCount) % fieldCount;
    } while (field == fileField && !isPdf(form));
    return field;
}

// "", "all": every page; "N"; "A-B".  False for anything else.
bool parsePages(const std::string& text, int* from, int* to)
{
    std::string t;
    for (char c : text) {
        if (c != ' ') t += c;
    }
    *from = *to = 0;
    if (t.empty() || t == "all") return true;
    const size_t dash = t.find('-');
    const std::string first = t.substr(0, dash);
    const std::string last = dash == std::string::npos ? first : t.substr(dash + 1);
    auto number = [](const std::string& s, int* value) {
        if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos) return false;
        *value = std::atoi(s.c_str());
        return *value >= 1 && *value <= 65535;
    };
    return number(first, from) && number(last, to) && *from <= *to;
}

void drawForm(printForm* form)
{
    const int width = std::min(64, tmS.geometry.columns);
    const int height = std::min(11, tmS.geometry.rows);
    const int top = (tmS.geometry.rows - height) / 2;
    const int left = (tmS.geometry.columns - width) / 2;
    WINDOW* w = tmOpenOverlay(top, left, height, width);
    if (!w) return;
    werase(w);
    frame(w);
    putCaption(w, "Print", width);
    static const char* labels[fieldCount] = {"Destination:", "File:", "Copies:", "Collate:", "Pages:"};
    const int valueColumn = 16;
    const int valueWidth = width - valueColumn - 2;
    for (int f = 0; f < fieldCount; ++f) {
        const int row = 2 + f;
        const attr_t labelAttributes = f == fileField && !isPdf(*form) ? A_DIM : A_NORMAL;
        tmPutText(w, row, 2, labels[f], valueColumn - 2, labelAttributes);
        const attr_t value = f == form->field ? A_REVERSE : A_UNDERLINE;
        std::string text;
        int cursorCell = -1;
        switch (f) {
        case destinationField:
            text = "< " + form->destinations[static_cast<size_t>(form->destination)] + " >";
            break;
        case fileField:
            if (!isPdf(*form)) continue;
            text = visiblePart(form->file, valueWidth - 1, &cursorCell);
            break;
        case copiesField:
            text = visiblePart(form->copies, valueWidth - 1, &cursorCell);
            break;
        case collateField:
            text = form->collate ? "[x]" : "[ ]";
            break;
        case pagesField:
            text = visiblePart(form->pages, valueWidth - 1, &cursorCell);
            break;
        default:
            break;
        }
        wattrset(w, value);
        mvwhline(w, row, valueColumn, ' ', f == destinationField || f == collateField ? 0 : valueWidth);
        wattrset(w, A_NORMAL);
        tmPutText(w, row, valueColumn, text, valueWidth, value);
        if (f == form->field) {
            tmS.overlayCursorRow = top + row;
            tmS.overlayCursorColumn = left + valueColumn + (cursorCell >= 0 ? cursorCell : 0);
        }
    }
    if (!form->problem.empty()) tmPutText(w, height - 3, 2, form->problem, width - 4, A_BOLD);
    tmPutText(w, height - 2, 2, "Enter: print  Esc: cancel  Tab: next  Space: change", width - 4, A_DIM);
}

}  // namespace

int tmRunPrintDialog(struct plPrintDlg* request, char* printer, size_t size)
{
    if (!ready()) return 0;
    modalScope scope;
    printForm form{};
    form.destination = -1;
    for (const tmPrinterEntry& entry : tmListPrinters()) {
        if (entry.isDefault && form.destination < 0) form.destination = static_cast<int>(form.destinations.size());
        form.destinations.push_back(entry.name);
    }
    form.destinations.push_back(tmPdfDestination);
    if (form.destination < 0) form.destination = static_cast<int>(form.destinations.size()) - 1;
    form.file.text = widen(tmS.pdfPath.empty() ? "Vellomex.pdf" : tmS.pdfPath);
    form.file.cursor = form.file.text.size();
    form.copies.text = std::to_wstring(request->copies ? request->copies : 1);
    form.copies.cursor = form.copies.text.size();
    form.collate = (request->flags & PD_COLLATE) != 0;
    form.pages.text = (request->flags & PD_PAGENUMS)
                          ? std::to_wstring(request->fromPage) + L"-" + std::to_wstring(request->toPage)
                          : L"all";
    form.pages.cursor = form.pages.text.size();
    form.field = destinationField;
    const int destinations = static_cast<int>(form.destinations.size());
    for (;;) {
        drawForm(&form);
        tmDrawFrame();
        tmEvent event{};
        if (!tmNextEvent(&event, -1)) return 0;
        if (event.kind == tmEscape) return 0;
        if (event.kind == tmKey && (event.key == VK_UP || event.key == VK_DOWN)) {
            form.field = nextField(form, form.field, event.key == VK_UP ? -1 : 1);
            continue;
        }
        if (event.kind == tmCharacter && event.byte == '\t') {
            form.field = nextField(form, form.field, 1);
            continue;
        }
        if (event.kind == tmCharacter && event.byte == '\r') {
            int from = 0;
            int to = 0;
            const std::string copiesText = narrow(form.copies.text);
            const int copies = copiesText.find_first_not_of("0123456789") == std::string::npos && !copiesText.empty() &&
                                       copiesText.size() <= 4
                                   ? std::atoi(copiesText.c_str())
                                   : 0;
            if (copies < 1) {
                form.problem = "Copies: a number from 1 to 9999.";
                form.field = copiesField;
                ringBell();
                continue;
            }
            if (!parsePages(narrow(form.pages.text), &from, &to)) {
                form.problem = "Pages: all, a page (3) or a range (2-5).";
                form.field = pagesField;
                ringBell();
                continue;
            }
            pwAnswerPrintRequest(request, static_cast<uint16_t>(copies), form.collate ? 1 : 0, to > 0,
                                 static_cast<uint16_t>(from), static_cast<uint16_t>(to));
            printer[0] = '\0';
            std::string chosen = form.destinations[static_cast<size_t>(form.destination)];
            if (isPdf(form)) {
                tmS.pdfPath = expandHome(narrow(form.file.text));
                // With no path there is no printer: the console says so.
                if (tmS.pdfPath.empty()) chosen.clear();
            }
            if (chosen.size() < size) std::memcpy(printer, chosen.c_str(), chosen.size() + 1);
            return 1;
        }
        form.problem.clear();
        switch (form.field) {
        case destinationField:
            if (event.kind == tmKey && (event.key == VK_LEFT || event.key == VK_RIGHT)) {
                form.destination = (form.destination + (event.key == VK_LEFT ? destinations - 1 : 1)) % destinations;
            } else if (event.kind == tmCharacter && event.byte == ' ') {
                form.destination = (form.destination + 1) % destinations;
            }
            break;
        case collateField:
            if ((event.kind == tmCharacter && event.byte == ' ') ||
                (event.kind == tmKey && (event.key == VK_LEFT || event.key == VK_RIGHT))) {
                form.collate = !form.collate;
            }
            break;
        case fileField:
            editLine(&form.file, event);
            break;
        case copiesField:
            if (event.kind != tmCharacter || event.byte < 32 || (event.byte >= '0' && event.byte <= '9')) {
                editLine(&form.copies, event);
            }
            break;
        case pagesField:
            editLine(&form.pages, event);
            break;
        default:
            break;
        }
    }
}

// ---------------------------------------------------------------------------
// The cancel dialog: drawn while a document prints, over the window.

namespace {
WINDOW* cancelWindow;
}

void tmDrawCancelDialog()
{
    if (cancelWindow) {
        delwin(cancelWindow);
        cancelWindow = nullptr;
    }
    if (!tmS.cancelDialog) return;
    std::vector<std::string> lines;
    pwDialogItemInfo item{};
    std::string button = "Cancel";
    for (int i = 0; pwDialogItem(tmS.cancelDialog, i, &item); ++i) {
        if (item.kind == plDialogButton) {
            button = item.text;
        } else if (!item.text.empty()) {
            lines.push_back(item.text);
        }
    }
    lines.push_back(tmS.printingPage > 0 ? "Page " + std::to_string(tmS.printingPage) : "");
    char caption[256] = "";
    plGetWindowText(tmS.cancelDialog, caption, sizeof caption);
    int width = 30;
    for (const std::string& line : lines) width = std::max(width, static_cast<int>(line.size()) + 4);
    width = std::min(width, tmS.geometry.columns);
    const int height = std::min(static_cast<int>(lines.size()) + 4, tmS.geometry.rows);
    const int top = (tmS.geometry.rows - height) / 2;
    const int left = (tmS.geometry.columns - width) / 2;
    cancelWindow = newwin(height, width, top, left);
    if (!cancelWindow) return;
    werase(cancelWindow);
    frame(cancelWindow);
    putCaption(cancelWindow, caption, width);
    for (size_t i = 0; i < lines.size(); ++i) {
        tmPutText(cancelWindow, static_cast<int>(i) + 1, 2, lines[i], width - 4, A_NORMAL);
    }
    const std::string label = "[ " + button + " ]  (Esc)";
    tmPutText(cancelWindow, height - 2, std::max(1, (width - static_cast<int>(label.size())) / 2), label, width - 2,
              A_REVERSE);
    wnoutrefresh(cancelWindow);
}
