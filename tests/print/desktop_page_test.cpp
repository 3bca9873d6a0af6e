// The desktop front end's printed page in the page setup's orientation: a
// landscape page drawn on a job's (upright) surface comes out wide, inside
// the printer's margins.  The PDF written is read back with pdftotext -bbox.
#include <cairo-pdf.h>
#include <gtest/gtest.h>
#include <gtk/gtkunixprint.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "frontends/gtk/internal.h"
#include "tests/print/cups_server.h"

namespace {

GtkPageSetup* a4Setup(GtkPageOrientation orientation, double margin)
{
    GtkPageSetup* setup = gtk_page_setup_new();
    GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
    gtk_page_setup_set_paper_size(setup, a4);
    gtk_paper_size_free(a4);
    gtk_page_setup_set_orientation(setup, orientation);
    gtk_page_setup_set_left_margin(setup, margin, GTK_UNIT_POINTS);
    gtk_page_setup_set_top_margin(setup, margin, GTK_UNIT_POINTS);
    gtk_page_setup_set_right_margin(setup, margin, GTK_UNIT_POINTS);
    gtk_page_setup_set_bottom_margin(setup, margin, GTK_UNIT_POINTS);
    return setup;
}

// A page as the console lays it out on the context: the header with the
// page number at the right end of the printable width, a rule, a row.
pwDocument consolePage(const pwPrinterInfo& info)
{
    pwDocument document{};
    document.name = "Vellomex.out";
    document.page = info;
    const int columns = info.width / info.charWidth;
    pwPage page{};
    page.texts.push_back(pwTextItem{0, 0, "Vellomex.out"});
    page.texts.push_back(pwTextItem{(columns - 6) * info.charWidth, 0, "Page 1"});
    page.lines.push_back(pwLine{0, info.rowHeight, columns * info.charWidth, info.rowHeight});
    page.texts.push_back(pwTextItem{0, 2 * info.rowHeight, "first line"});
    document.pages.push_back(page);
    return document;
}

// Prints the page on a surface of the paper's upright size, as a job's.
bool printOnAJobsSurface(GtkPageSetup* setup, const std::string& path, PrintedDocument* printed)
{
    pwPrinterInfo info{};
    gw::pageGeometry(setup, 300, &info);
    const pwDocument document = consolePage(info);
    GtkPaperSize* paper = gtk_page_setup_get_paper_size(setup);
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), gtk_paper_size_get_width(paper, GTK_UNIT_POINTS),
                                                        gtk_paper_size_get_height(paper, GTK_UNIT_POINTS));
    cairo_t* cr = cairo_create(surface);
    gw::printPage(cr, setup, document, document.pages.front());
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return readPrinted(path, printed);
}

class DesktopPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("pdftotext -v > /dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
        char pattern[] = "/tmp/rastrel-dpage-XXXXXX.pdf";
        const int fd = mkstemps(pattern, 4);
        ASSERT_GE(fd, 0);
        close(fd);
        path = pattern;
    }
    void TearDown() override
    {
        if (!path.empty()) std::remove(path.c_str());
    }
    std::string path;
};

TEST_F(DesktopPage, ALandscapePageIsPrintedLandscapeWithTheWholeHeader)
{
    GtkPageSetup* setup = a4Setup(GTK_PAGE_ORIENTATION_LANDSCAPE, 24);
    PrintedDocument printed;
    ASSERT_TRUE(printOnAJobsSurface(setup, path, &printed));
    g_object_unref(setup);
    EXPECT_NE(printed.pageSize.find("(A4)"), std::string::npos) << printed.pageSize;
    EXPECT_NEAR(printed.width, 841.9, 0.5);
    EXPECT_NEAR(printed.height, 595.3, 0.5);
    const double margins[4] = {24, 24, 24, 24};
    EXPECT_EQ(wordsOutsideMargins(printed, margins), "");
    const PrintedWord* page = findWord(printed, "Page");
    ASSERT_NE(page, nullptr);
    EXPECT_GT(page->xMin, 841.9 / 2);   // at the right of the wide page
    EXPECT_NE(findWord(printed, "1"), nullptr);
    EXPECT_NE(findWord(printed, "first"), nullptr);
}

}  // namespace
