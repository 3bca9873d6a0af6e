// The sheet and its printable area, as every real front end computes it.
#include <gtest/gtest.h>

#include "frontends/print/paper.h"

namespace {

TEST(PrintSheet, NoSideIsPrintedToTheEdgeAndAPrintersOwnMarginsAreKept)
{
    printSheet borderless{595, 842, {0, 0, 0, 0}};
    keepOffTheEdges(&borderless);
    for (double margin : borderless.margins) EXPECT_EQ(margin, leastMargin);

    printSheet printer{612, 792, {12.5, 0, 30, -1}};   // a small margin, none, a wide one, nonsense
    keepOffTheEdges(&printer);
    EXPECT_EQ(printer.margins[0], 12.5);
    EXPECT_EQ(printer.margins[1], leastMargin);
    EXPECT_EQ(printer.margins[2], 30);
    EXPECT_EQ(printer.margins[3], leastMargin);

    printSheet absurd{595, 842, {200, 18, 200, 18}};   // leaves less than half the width
    keepOffTheEdges(&absurd);
    EXPECT_EQ(absurd.margins[0], leastMargin);
    EXPECT_EQ(absurd.margins[2], leastMargin);
}

TEST(PrintSheet, ThePrintableAreaInDeviceUnitsStaysInsideTheMargins)
{
    const printSheet a4{595, 842, {18, 36, 18, 36}};
    int width = 0, height = 0;
    printableArea(a4, 600, &width, &height);
    EXPECT_EQ(width, (595 - 36) * 600 / 72);    // 4658.3 units: 4658 whole ones
    EXPECT_EQ(height, (842 - 72) * 600 / 72);   // 6416.7 units: 6416
    printableArea(a4, 72, &width, &height);     // points: exact
    EXPECT_EQ(width, 559);
    EXPECT_EQ(height, 770);
}

}  // namespace
