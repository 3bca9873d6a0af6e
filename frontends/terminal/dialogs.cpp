// What the terminal front end draws over the window and runs until it is
// answered: the save prompt, the print form, and the cancel dialog shown
// while a document prints (the menus and message boxes are in menus.cpp and
// boxes.cpp).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "frontends/terminal/dialog_parts.h"
#include "portable/input.h"

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
    // Without printing's module there is nothing to print on: a box says
    // why, and the console goes on as with no printer.
    if (const char* problem = tmPrintingProblem()) {
        const std::string text = std::string("Printing is not available: ") + problem;
        tmRunBox("Print", text.c_str(), MB_OK | MB_ICONEXCLAMATION);
        printer[0] = '\0';
        return 1;
    }
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
