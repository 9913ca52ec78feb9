#include "framework/CanvasRaster.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

using framework::raster::FillArea;
using framework::raster::LinePixels;

namespace {

const QRect kImage(0, 0, 470, 255);

std::vector<QPoint> Line(QPoint from, QPoint to, int width = 1, QRect clip = kImage) {
    std::vector<QPoint> out;
    LinePixels(from, to, width, clip, out);
    return out;
}

std::vector<QPoint> Points(std::initializer_list<std::pair<int, int>> xy) {
    std::vector<QPoint> out;
    for (auto [x, y] : xy)
        out.emplace_back(x, y);
    return out;
}

std::set<std::pair<int, int>> AsSet(const std::vector<QPoint>& pixels) {
    std::set<std::pair<int, int>> s;
    for (const QPoint& p : pixels)
        s.emplace(p.x(), p.y());
    return s;
}

// Every pixel of the block columns x0..x1, rows y0..y1 (inclusive).
std::set<std::pair<int, int>> Block(int x0, int x1, int y0, int y1) {
    std::set<std::pair<int, int>> s;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            s.emplace(x, y);
    return s;
}

} // namespace

TEST(CanvasRaster, AxisLinesLeaveTheEndPointOutInEitherDirection) {
    EXPECT_EQ(Line({2, 3}, {6, 3}), Points({{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
    EXPECT_EQ(Line({6, 3}, {2, 3}), Points({{6, 3}, {5, 3}, {4, 3}, {3, 3}}));
    EXPECT_EQ(Line({7, 10}, {7, 13}), Points({{7, 10}, {7, 11}, {7, 12}}));
    EXPECT_EQ(Line({7, 13}, {7, 10}), Points({{7, 13}, {7, 12}, {7, 11}}));
    EXPECT_TRUE(Line({5, 5}, {5, 5}).empty()); // a line to its own start paints nothing
    // A line across the whole image from (0, y) to (width, y) paints every column once.
    EXPECT_EQ(Line({0, 100}, {470, 100}).size(), 470u);
}

TEST(CanvasRaster, DiagonalAndSlopedLinesFollowBresenham) {
    EXPECT_EQ(Line({0, 0}, {3, 3}), Points({{0, 0}, {1, 1}, {2, 2}}));
    EXPECT_EQ(Line({3, 0}, {0, 3}), Points({{3, 0}, {2, 1}, {1, 2}}));
    // slope 2/5: rows 0, 0.4, 0.8, 1.2, 1.6 rounded
    EXPECT_EQ(Line({0, 0}, {5, 2}), Points({{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    // steep: columns 0, 0.4, 0.8, 1.2, 1.6 rounded
    EXPECT_EQ(Line({0, 0}, {2, 5}), Points({{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}));
    // exact halves go towards the start point's row
    EXPECT_EQ(Line({0, 0}, {4, 2}), Points({{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
    EXPECT_EQ(Line({4, 2}, {0, 0}), Points({{4, 2}, {3, 2}, {2, 1}, {1, 1}}));
    // a trace step of the oscillogram: 4 columns across, 100 rows up
    const auto step = Line({0, 200}, {4, 100});
    ASSERT_EQ(step.size(), 100u);
    EXPECT_EQ(step.front(), QPoint(0, 200));
    EXPECT_EQ(step.back(), QPoint(4, 101));
}

TEST(CanvasRaster, ThinLinesStayWithinHalfAPixelOfTheExactLine) {
    const QRect everywhere(-100, -100, 300, 300);
    QRandomGenerator random(7);
    for (int n = 0; n < 2000; ++n) {
        const QPoint a(random.bounded(-60, 60), random.bounded(-60, 60));
        const QPoint b(random.bounded(-60, 60), random.bounded(-60, 60));
        const auto pixels = Line(a, b, 1, everywhere);
        const int dx = b.x() - a.x(), dy = b.y() - a.y();
        const int steps = std::max(std::abs(dx), std::abs(dy));
        ASSERT_EQ(int(pixels.size()), steps)
            << a.x() << "," << a.y() << " " << b.x() << "," << b.y();
        if (steps == 0)
            continue;
        EXPECT_EQ(pixels.front(), a);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const QPoint p = pixels[i];
            ASSERT_NE(p, b);
            if (i > 0) { // 8-connected, one step along the major axis each time
                const QPoint d = p - pixels[i - 1];
                ASSERT_LE(std::abs(d.x()), 1);
                ASSERT_LE(std::abs(d.y()), 1);
            }
            // distance along the minor axis from the exact line
            const double t = std::abs(dx) >= std::abs(dy) ? double(p.x() - a.x()) / dx
                                                          : double(p.y() - a.y()) / dy;
            const double ex = a.x() + t * dx, ey = a.y() + t * dy;
            ASSERT_LE(std::abs(p.x() - ex) + std::abs(p.y() - ey), 0.5 + 1e-9);
        }
    }
}

TEST(CanvasRaster, WidePenIsCentredAndCutFlat) {
    // 4 pixels wide at x = 100: columns 98..101, rows 0..254
    EXPECT_EQ(AsSet(Line({100, 0}, {100, 255}, 4)), Block(98, 101, 0, 254));
    // drawn upwards the start row is in and the end row out
    EXPECT_EQ(AsSet(Line({100, 20}, {100, 0}, 4)), Block(98, 101, 1, 20));
    EXPECT_EQ(AsSet(Line({100, 0}, {100, 10}, 3)), Block(99, 101, 0, 9));
    EXPECT_EQ(AsSet(Line({100, 0}, {100, 10}, 2)), Block(99, 100, 0, 9));
    EXPECT_EQ(AsSet(Line({10, 50}, {20, 50}, 4)), Block(10, 19, 48, 51));
    EXPECT_EQ(AsSet(Line({20, 50}, {10, 50}, 4)), Block(11, 20, 48, 51));
    // a marker at x = -2 stays left of column 0; one at 470 right of the last column
    EXPECT_TRUE(Line({-2, 0}, {-2, 255}, 4).empty());
    EXPECT_EQ(AsSet(Line({470, 0}, {470, 255}, 4)), Block(468, 469, 0, 254));
}

TEST(CanvasRaster, WideDiagonalIsASymmetricBand) {
    // 3 wide at 45 degrees: centres within 1.5 of the line, 20 steps along it
    const auto band = AsSet(Line({10, 10}, {20, 20}, 3));
    EXPECT_EQ(band.size(), 50u);
    for (auto [x, y] : band) {
        EXPECT_TRUE(band.count({y, x})) << x << "," << y;
        EXPECT_LE(std::abs(x - y), 2);
        EXPECT_GE(x + y, 20);
        EXPECT_LT(x + y, 40);
    }
    // no pixel twice
    const auto list = Line({10, 10}, {20, 20}, 3);
    EXPECT_EQ(list.size(), band.size());
}

TEST(CanvasRaster, OddPenWidthsAndClippingAreSafe) {
    EXPECT_EQ(Line({0, 0}, {3, 0}, 0), Line({0, 0}, {3, 0}, 1));
    EXPECT_EQ(Line({0, 0}, {3, 0}, -5), Line({0, 0}, {3, 0}, 1));
    EXPECT_EQ(AsSet(Line({-10, 5}, {10, 5}, 1, QRect(0, 0, 5, 10))), Block(0, 4, 5, 5));
    EXPECT_TRUE(Line({0, 0}, {5, 0}, 1, QRect()).empty());
    // Extreme coordinates neither overflow nor walk the whole line.
    EXPECT_EQ(Line({INT_MIN, 7}, {INT_MAX, 7}).size(), 470u);
    EXPECT_EQ(Line({7, INT_MAX}, {7, INT_MIN}).size(), 255u);
    for (const QPoint& p : Line({INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}))
        EXPECT_TRUE(kImage.contains(p));
    EXPECT_EQ(AsSet(Line({200, INT_MIN}, {200, INT_MAX}, INT_MAX)).size(), 470u * 255u);
}

TEST(CanvasRaster, FillAreaLeavesRightAndBottomOut) {
    EXPECT_EQ(FillArea(0, 0, 470, 255, kImage), kImage);
    EXPECT_EQ(FillArea(2, 3, 5, 7, kImage), QRect(QPoint(2, 3), QPoint(4, 6)));
    EXPECT_TRUE(FillArea(5, 3, 2, 7, kImage).isEmpty());
    EXPECT_TRUE(FillArea(2, 3, 2, 7, kImage).isEmpty());
    EXPECT_TRUE(FillArea(500, 0, 600, 10, kImage).isEmpty());
    EXPECT_EQ(FillArea(-10, -10, 10, 10, kImage), QRect(0, 0, 10, 10));
    EXPECT_EQ(FillArea(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kImage), kImage);
}
