// The scripted run's reports of the console window.
#include "frontends/headless/report.h"

#include <cstdio>
#include <cstring>

#include "console/inspect.h"
#include "frontends/headless/readback.h"

namespace {

int reportedBoxes;
int reportedDocuments;
bool lastReportWritten;

std::string quoted(const char* bytes, size_t count)
{
    std::string out = "\"";
    putEscaped(&out, bytes, count, true);
    out += "\"";
    return out;
}

std::string quoted(const std::string& text) { return quoted(text.data(), text.size()); }

std::string answerName(int answer)
{
    switch (answer) {
    case IDOK:
        return "ok";
    case IDCANCEL:
        return "cancel";
    case IDYES:
        return "yes";
    case IDNO:
        return "no";
    default:
        return std::to_string(answer);
    }
}

void putDocument(std::string* out, const hlDocument& document)
{
    *out += "document: " + quoted(document.name) + " pages=" + std::to_string(document.pages.size()) + "\n";
    int number = 0;
    for (const hlPage& page : document.pages) {
        *out += "page: " + std::to_string(++number) + "\n";
        for (const hlTextItem& item : page.texts) {
            *out += "text: " + std::to_string(item.x) + " " + std::to_string(item.y) + " " + quoted(item.text) + "\n";
        }
        for (const hlLine& line : page.lines) {
            *out += "line: " + std::to_string(line.x1) + " " + std::to_string(line.y1) + " " +
                    std::to_string(line.x2) + " " + std::to_string(line.y2) + "\n";
        }
    }
}

void report(bool last)
{
    std::string out;
    const consoleInspection console = consoleInspect();
    plHwnd window = console.window;
    char title[1024] = "";
    if (window) {
        plGetWindowText(window, title, sizeof title);
    }
    out += "title: " + quoted(title, std::strlen(title)) + "\n";
    out += "visible: " + std::to_string(window ? pwIsVisible(window) : 0) + "\n";
    out += "modified: " + std::to_string(console.modified) + "\n";
    out += "transcript: " + quoted(console.text, console.textLength) + "\n";
    out += "pending: " + quoted(console.pendingInput, console.pendingLength) + "\n";

    out += "view: top=" + std::to_string(console.topRow) + " last=" + std::to_string(console.lastRow) +
           " rows=" + std::to_string(console.screenRows) + " columns=" + std::to_string(console.screenColumns) +
           "\n";

    hlCaretInfo caret = hlCaret();
    int shown = window && caret.exists && caret.owner == window && caret.shown ? 1 : 0;
    out += "caret: row=" + std::to_string(console.caretRow) + " column=" + std::to_string(console.caretColumn) +
           " shown=" + std::to_string(shown) + "\n";

    if (console.selection) {
        out += "selection: " + std::to_string(console.selectionStart) + " " + std::to_string(console.selectionEnd) +
               "\n";
    } else {
        out += "selection: none\n";
    }

    out += "screen:\n";
    int rows = window ? hlSurfaceRows(window) : 0;
    for (int row = 0; row < rows; row++) {
        std::string cells = hlRowText(window, row);
        out += "|";
        putEscaped(&out, cells.data(), cells.size(), false);
        out += "|\n";
    }

    const char* clipboard = hlClipboardText();
    out += clipboard ? "clipboard: " + quoted(clipboard, std::strlen(clipboard)) + "\n" : "clipboard: none\n";

    int boxes = hlBoxCount();
    for (; reportedBoxes < boxes; reportedBoxes++) {
        const hlBoxRecord* box = hlBox(reportedBoxes);
        out += "box: " + quoted(box->caption) + " " + quoted(box->text) + " " + answerName(box->answer) + "\n";
    }
    out += "beeps: " + std::to_string(hlBeepCount()) + "\n";

    // A dump while a print job runs (a pump: line taken by the job's abort
    // procedure) leaves the job's document for a later report, which shows it
    // whole; the last report shows every document as far as it got.
    int documents = hlDocumentCount();
    for (; reportedDocuments < documents; reportedDocuments++) {
        const hlDocument* document = hlDocumentAt(reportedDocuments);
        if (!last && !document->ended && !document->aborted) {
            break;
        }
        putDocument(&out, *document);
    }
    out += "end\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

void putEscaped(std::string* out, const char* bytes, size_t count, bool quotes)
{
    for (size_t i = 0; i < count; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        switch (c) {
        case '\r':
            *out += "\\r";
            break;
        case '\n':
            *out += "\\n";
            break;
        case '\t':
            *out += "\\t";
            break;
        case '\\':
            *out += "\\\\";
            break;
        case '"':
            *out += quotes ? "\\\"" : "\"";
            break;
        default:
            if (c < 32 || c > 126) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                *out += hex;
            } else {
                out->push_back(static_cast<char>(c));
            }
        }
    }
}

void writeReport()
{
    pwPresent();
    report(false);
}

void writeLastReport()
{
    if (!lastReportWritten) {
        lastReportWritten = true;
        report(true);
    }
}
