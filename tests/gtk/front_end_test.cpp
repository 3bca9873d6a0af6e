// What the desktop front end adds to GTK, without a display: the meaning of
// keys, the console's character set, menu labels, the font and its metrics,
// rows of cells drawn into pixels, rows moved by a scroll, and the printer's
// page.
#include <gtest/gtest.h>
#include <gdk/gdkkeysyms.h>
#include <gtk/gtkunixprint.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "frontends/gtk/internal.h"
#include "frontends/gtk/keys.h"
#include "frontends/gtk/text.h"

namespace {

const plColor black = 0x000000u;
const plColor white = 0xFFFFFFu;

TEST(Keys, CtrlWithALetterIsItsControlCharacterWhateverTheShiftAndNotWithAlt)
{
    EXPECT_EQ(gwControlCharacter(GDK_KEY_s, GDK_CONTROL_MASK), 19);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK), 19);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_c, GDK_CONTROL_MASK | GDK_LOCK_MASK), 3);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_a, GDK_CONTROL_MASK), 1);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_z, GDK_CONTROL_MASK), 26);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_s, 0), -1);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_f, GDK_CONTROL_MASK | GDK_MOD1_MASK), -1);
    EXPECT_EQ(gwControlCharacter(GDK_KEY_1, GDK_CONTROL_MASK), -1);
}

// The desktop's copy and paste keys name the Edit menu's items; Ctrl with
// a letter alone, Alt, and Insert alone stay what they were.
TEST(Keys, TheDesktopsCopyAndPasteKeysAreTheEditMenusCopyAndPaste)
{
    const unsigned ctrlShift = GDK_CONTROL_MASK | GDK_SHIFT_MASK;
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_C, ctrlShift), gwEditCopy);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_c, ctrlShift | GDK_LOCK_MASK | GDK_MOD2_MASK), gwEditCopy);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_V, ctrlShift), gwEditPaste);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_Insert, GDK_CONTROL_MASK), gwEditCopy);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_KP_Insert, GDK_SHIFT_MASK), gwEditPaste);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_Insert, GDK_SHIFT_MASK), gwEditPaste);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_c, GDK_CONTROL_MASK), 0);           // Ctrl+C: the console's
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_v, GDK_CONTROL_MASK), 0);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_V, ctrlShift | GDK_MOD1_MASK), 0);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_Insert, 0), 0);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_Insert, ctrlShift), 0);
    EXPECT_EQ(gwShortcutCommand(GDK_KEY_x, ctrlShift), 0);
}

TEST(Keys, TypedTextHasOneEnterPerLineEndAndStopsAtANul)
{
    EXPECT_EQ(gwTypedLineEnds("a\r\nb\nc\rd"), "a\rb\rc\rd");
    EXPECT_EQ(gwTypedLineEnds("\n\n"), "\r\r");
    EXPECT_EQ(gwTypedLineEnds(std::string("x\0y", 3)), "x");
}

TEST(Keys, EditingKeysAreCharactersAndNavigationKeysAreKeyMessages)
{
    EXPECT_EQ(gwMeaningOf(GDK_KEY_Return).character, 13);
    EXPECT_EQ(gwMeaningOf(GDK_KEY_KP_Enter).character, 13);
    EXPECT_EQ(gwMeaningOf(GDK_KEY_BackSpace).character, 8);
    EXPECT_EQ(gwMeaningOf(GDK_KEY_ISO_Left_Tab).character, 9);
    EXPECT_EQ(gwMeaningOf(GDK_KEY_Escape).character, 27);
    const struct { unsigned keyval; uint32_t key; } keys[] = {
        {GDK_KEY_Up, VK_UP},         {GDK_KEY_KP_Down, VK_DOWN},  {GDK_KEY_Left, VK_LEFT},
        {GDK_KEY_KP_Right, VK_RIGHT}, {GDK_KEY_Page_Up, VK_PRIOR}, {GDK_KEY_KP_Page_Down, VK_NEXT},
        {GDK_KEY_Home, VK_HOME},     {GDK_KEY_KP_End, VK_END},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(gwMeaningOf(k.keyval).virtualKey, k.key) << k.keyval;
        EXPECT_EQ(gwMeaningOf(k.keyval).character, -1);
    }
    // Printable keys are the input method's; F10 is the menu bar's.
    EXPECT_EQ(gwMeaningOf(GDK_KEY_a).character, -1);
    EXPECT_EQ(gwMeaningOf(GDK_KEY_F10).virtualKey, 0u);
}

TEST(CharacterSet, TheConsolesBytesAndTheDesktopsTextConvertBothWays)
{
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (gwFromAnsi(static_cast<unsigned char>(b)) != static_cast<unsigned>(b) || b < 0x80 || b >= 0xA0) {
            all += static_cast<char>(b);
        }
    }
    const std::string utf8 = gwFromAnsiText(all.data(), all.size());
    EXPECT_TRUE(g_utf8_validate(utf8.c_str(), static_cast<gssize>(utf8.size()), nullptr));
    EXPECT_EQ(gwToAnsi(utf8.data(), utf8.size()), all);
    EXPECT_EQ(gwFromAnsiText("\x80 \xE9", 3), "\xE2\x82\xAC \xC3\xA9");   // euro sign, e acute
    EXPECT_EQ(gwToAnsi("\xE2\x80\x9Cq\xE2\x80\x9D", 7), "\x93q\x94");          // quotation marks
    EXPECT_EQ(gwToAnsi("\xE4\xB8\xAD!", 4), "?!");                             // not in the set
    EXPECT_EQ(gwToAnsi("a\xFF" "b", 3), "a\xFF" "b");                          // not UTF-8: kept
    // The desktop's line ends become the console's, and only once.
    EXPECT_EQ(gwConsoleLineEnds("\none\ntwo\r\nthree\r"), "\r\none\r\ntwo\r\nthree\r");
    EXPECT_EQ(gwDesktopLineEnds("\r\none\r\ntwo\nthree\r"), "\none\ntwo\nthree\r");
}

TEST(MenuLabels, MnemonicsBecomeUnderlinesAndTheAcceleratorTextIsKeptAsItStands)
{
    std::string keys;
    EXPECT_EQ(gwMenuLabel("&Save\tCtrl+S", &keys), "_Save");
    EXPECT_EQ(keys, "Ctrl+S");
    EXPECT_EQ(gwMenuLabel("&New\tCtr+N", &keys), "_New");
    EXPECT_EQ(keys, "Ctr+N");
    EXPECT_EQ(gwMenuLabel("Select A&ll\tCtrl+A", &keys), "Select A_ll");
    EXPECT_EQ(gwMenuLabel("Fish && chips_", &keys), "Fish & chips__");
    EXPECT_EQ(keys, "");
}

// Ink (any pixel that is not white) in a rectangle of an RGB24 surface.
bool inkIn(cairo_surface_t* surface, int x, int y, int width, int height)
{
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column) {
            const uint32_t pixel = *reinterpret_cast<const uint32_t*>(data + row * stride + column * 4);
            if ((pixel & 0xFFFFFFu) != 0xFFFFFFu) return true;
        }
    }
    return false;
}

uint32_t pixelAt(cairo_surface_t* surface, int x, int y)
{
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(surface) + x * 4) & 0xFFFFFFu;
}

class Text : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The console's margin, as the program tells the window system.
        pwSetTextMargin(consoleTextMargin);
        ASSERT_EQ(gwOpenFont(&font, gwChooseFont(nullptr, 96)), 1);
    }
    void TearDown() override { gwCloseFont(&font); }

    std::vector<pwCell> row(const std::string& text, int columns)
    {
        std::vector<pwCell> cells(static_cast<size_t>(columns), pwCell{0, black, white});
        for (size_t i = 0; i < text.size() && i < cells.size(); ++i) cells[i].character = text[i];
        return cells;
    }

    gwTextFont font{};
};

TEST_F(Text, TheWindowsFontIsTheConsolesDefaultRequestSoTextLandsInTheCellsTheConsoleCounts)
{
    EXPECT_FALSE(gwFaceFor("Courier").empty());
    for (int dpi : {96, 120, 144, 192}) {
        // The console asks for 10 points: a character height of
        // trunc(trunc(100 * dpi / 72) / 10 + 0.5) pixels, as a negative height.
        pwFontRequest request{};
        request.height = -static_cast<int>(100 * dpi / 72 * 0.1 + 0.5);
        request.faceName = "Courier";
        const gwFontChoice asked = gwChooseFont(&request, dpi);
        const gwFontChoice window = gwChooseFont(nullptr, dpi);
        EXPECT_EQ(asked.family, window.family);
        EXPECT_EQ(asked.pixelSize, window.pixelSize) << dpi;
    }
    pwFontRequest bold{};
    bold.height = -13;
    bold.weight = 700;
    bold.italic = 1;
    const gwFontChoice styled = gwChooseFont(&bold, 96);
    EXPECT_TRUE(styled.bold && styled.italic);
    EXPECT_EQ(styled.pixelSize, 13);
    EXPECT_GE(font.cellWidth, 5);
    EXPECT_GT(font.cellHeight, font.cellWidth);
    EXPECT_GT(font.ascent, 0);
    EXPECT_LT(font.ascent, font.cellHeight);
}

TEST_F(Text, EveryCharacterIsDrawnInItsOwnCellAcrossAWholeRow)
{
    const int columns = 100;
    const int width = gwCellX(font, columns) + font.cellWidth;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, font.cellHeight);
    cairo_t* cr = cairo_create(surface);
    // Every other cell holds a character, the rest are blank: no drift over
    // 100 columns, no ink in the blank cells or the margin.
    std::string text;
    for (int c = 0; c < columns; ++c) text += c % 2 == 0 ? static_cast<char>("MW#@x\x80\xE9\x0B"[c / 2 % 8]) : ' ';
    const std::vector<pwCell> cells = row(text, columns);
    gwRenderRow(cr, &font, cells.data(), columns, 0, width, white);
    EXPECT_FALSE(inkIn(surface, 0, 0, gwCellX(font, 0), font.cellHeight)) << "margin";
    for (int c = 0; c < columns; ++c) {
        const bool ink = inkIn(surface, gwCellX(font, c) + 1, 0, font.cellWidth - 2, font.cellHeight);
        EXPECT_EQ(ink, c % 2 == 0) << "column " << c << " '" << text[static_cast<size_t>(c)] << "'";
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

TEST_F(Text, ASelectedCellIsWhiteOnBlackAndOnlyThatCell)
{
    const int columns = 10;
    const int width = gwCellX(font, columns) + 4;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, font.cellHeight);
    cairo_t* cr = cairo_create(surface);
    std::vector<pwCell> cells = row("abc def", columns);
    for (int c = 2; c <= 4; ++c) cells[static_cast<size_t>(c)] = pwCell{cells[static_cast<size_t>(c)].character, white, black};
    gwRenderRow(cr, &font, cells.data(), columns, 0, width, white);
    // A selected cell's corner is its background; its middle has the text's white.
    EXPECT_EQ(pixelAt(surface, gwCellX(font, 3), 0), 0x000000u);
    EXPECT_EQ(pixelAt(surface, gwCellX(font, 4) + font.cellWidth - 1, font.cellHeight - 1), 0x000000u);
    EXPECT_EQ(pixelAt(surface, gwCellX(font, 5), 0), 0xFFFFFFu);
    EXPECT_EQ(pixelAt(surface, gwCellX(font, 2) - 1, 0), 0xFFFFFFu);
    EXPECT_TRUE(inkIn(surface, gwCellX(font, 2), 0, font.cellWidth, font.cellHeight));
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

TEST(ScrollRows, RowsMoveUpOrDownWithinTheirRangeAndNothingElseMoves)
{
    const int rowPixels = 3;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2, 8 * rowPixels);
    auto fill = [&]() {
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        for (int y = 0; y < 8 * rowPixels; ++y) {
            for (int x = 0; x < 2; ++x) *reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(surface) + x * 4) = static_cast<uint32_t>(y / rowPixels);
        }
        cairo_surface_mark_dirty(surface);
    };
    auto rows = [&]() {
        std::string shown;
        for (int r = 0; r < 8; ++r) shown += static_cast<char>('0' + pixelAt(surface, 1, r * rowPixels + 2));
        return shown;
    };
    fill();
    gwScrollRows(surface, rowPixels, 1, 7, 2);
    EXPECT_EQ(rows(), "03456567");   // rows 1..4 now hold 3..6; 5 and 6 are left for damage
    fill();
    gwScrollRows(surface, rowPixels, 0, 8, -3);
    EXPECT_EQ(rows(), "01201234");
    fill();
    gwScrollRows(surface, rowPixels, 0, 12, 1);   // a range past the surface moves what is inside it
    EXPECT_EQ(rows(), "12345677");
    fill();
    gwScrollRows(surface, rowPixels, 2, 4, 5);    // further than the range: nothing to move
    EXPECT_EQ(rows(), "01234567");
    cairo_surface_destroy(surface);
}

TEST(PrinterPage, ThePrintableAreaAtTheResolutionAndACellTheReplayFontFills)
{
    GtkPageSetup* setup = gtk_page_setup_new();
    GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
    gtk_page_setup_set_paper_size_and_default_margins(setup, a4);
    gtk_paper_size_free(a4);
    for (int dpi : {300, 600}) {
        pwPrinterInfo info{};
        gw::pageGeometry(setup, dpi, &info);
        EXPECT_EQ(info.dpi, dpi);
        EXPECT_NEAR(info.width, gtk_page_setup_get_page_width(setup, GTK_UNIT_INCH) * dpi, 1);
        EXPECT_NEAR(info.height, gtk_page_setup_get_page_height(setup, GTK_UNIT_INCH) * dpi, 1);
        EXPECT_LT(info.width, static_cast<int>(210 / 25.4 * dpi));   // inside the paper
        // A 10-point monospace cell is about 0.6 of the size wide.
        EXPECT_NEAR(info.charWidth, 0.6 * 10 * dpi / 72, 0.1 * 10 * dpi / 72);
        EXPECT_GT(info.rowHeight, info.charWidth);
        EXPECT_GE(info.height / info.rowHeight - 2, 50);   // the console fits a page of rows
        EXPECT_LE(info.width / info.charWidth, 256);        // and its row buffer holds one
    }
    g_object_unref(setup);
}

}  // namespace
