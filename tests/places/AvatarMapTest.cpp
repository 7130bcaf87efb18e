#include "places/AvatarMap.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

struct Mark {
    int session, x, z;
};

AvatarMap MapWith(int centreX, int centreZ, std::initializer_list<Mark> marks, int manual = 0) {
    AvatarMap map;
    for (const auto &m : marks) {
        map.AddOrUpdateMark(m.session, "m" + std::to_string(m.session), m.x, m.z);
    }
    map.SetCentre(centreX, centreZ);
    map.SetManualScale(manual);
    return map;
}

struct FrameCase {
    const char *name;
    AvatarMap map;
    int width, height;
    std::int64_t scale;
    const char *label;
};

TEST(MapFrame, ScaleAndLabel) {
    const FrameCase cases[] = {
        {"no marks: extents 100, 1 cm per pixel", MapWith(0, 0, {}), 300, 300, 1, "3mx3m"},
        {"a mark 3000 cm west", MapWith(0, 0, {{1, 3000, 0}}), 300, 300, 30, "90mx90m"},
        {"the larger axis wins", MapWith(0, 0, {{1, 3000, 0}, {2, 0, -9000}}), 300, 300, 90, "270mx270m"},
        {"a third of each side, truncated", MapWith(0, 0, {{1, 3000, 0}}), 200, 400, 45, "90mx180m"},
        {"manual wins over a larger automatic scale", MapWith(0, 0, {{1, 300000, 0}}, 30), 300, 300, 30, "90mx90m"},
        {"manual wins over a smaller automatic scale", MapWith(0, 0, {}, 30), 300, 300, 30, "90mx90m"},
        {"the smallest drawable view", MapWith(0, 0, {}), 3, 3, 100, "3mx3m"},
        {"extents beyond 32 bits", MapWith(kMin, 0, {{1, kMax, 0}}), 300, 300, 42949672, "128849016mx128849016m"},
    };
    for (const auto &c : cases) {
        const auto frame = MapFrameFor(c.map, c.width, c.height);
        ASSERT_TRUE(frame) << c.name;
        EXPECT_EQ(frame->scale, c.scale) << c.name;
        EXPECT_EQ(MapScaleLabel(*frame), c.label) << c.name;
    }
    for (const auto &[w, h] : {std::pair{2, 300}, std::pair{300, 2}, std::pair{0, 0}, std::pair{-5, 300}}) {
        EXPECT_FALSE(MapFrameFor(AvatarMap{}, w, h)) << "a view of " << w << " by " << h << " is not drawn";
    }
}

TEST(MapFrame, ColumnsRowsAndCorners) {
    const auto west = MapFrameFor(MapWith(0, 0, {{1, 3000, 0}}), 300, 300);
    ASSERT_TRUE(west);
    EXPECT_EQ(west->Column(3000), 50) << "3000 cm west at scale 30";
    EXPECT_EQ(west->Column(-3000), 250);
    EXPECT_EQ(west->Row(3000), 50) << "north is up";
    EXPECT_EQ(west->Column(29), 150) << "truncation toward zero";
    EXPECT_EQ(west->Column(-29), 150);

    const auto corners = MapFrameFor(MapWith(5000, 5000, {}, 10), 200, 200);
    ASSERT_TRUE(corners);
    const MapCornerLabels labels = CornerLabelsFor(*corners);
    EXPECT_EQ(labels.topLeft, "6.000N 6.000W");
    EXPECT_EQ(labels.topRight, "6.000N 4.000W");
    EXPECT_EQ(labels.bottomLeft, "4.000N 6.000W");
    EXPECT_EQ(labels.bottomRight, "4.000N 4.000W");

    const auto far = MapFrameFor(MapWith(kMax, kMin, {}, kMax), 300, 300);
    ASSERT_TRUE(far);
    const MapCornerLabels edge = CornerLabelsFor(*far);
    EXPECT_EQ(edge.topLeft, "2147483.647N 2147483.647W") << "corner points saturate instead of wrapping";
    EXPECT_EQ(far->Column(kMin), 150 + 2);
}

TEST(AvatarMapMarks, ExtentsFollowTheMarksAndRecentring) {
    AvatarMap map;
    EXPECT_EQ(map.ExtentX(), 1000) << "before any recentring";
    map.SetCentre(0, 0);
    EXPECT_EQ(map.ExtentX(), 100);
    map.AddOrUpdateMark(1, "far", 5000, -200);
    map.AddOrUpdateMark(2, "near", -300, 50);
    EXPECT_EQ(map.ExtentX(), 5000);
    EXPECT_EQ(map.ExtentZ(), 200);
    ASSERT_EQ(map.Marks().size(), 2u);
    EXPECT_EQ(map.Marks().front().name, "near") << "newest first";

    map.RemoveMarks(1);
    EXPECT_EQ(map.ExtentX(), 5000) << "the old scale stays until the next recentring";
    map.SetCentre(0, 0);
    EXPECT_EQ(map.ExtentX(), 300);

    map.AddOrUpdateMark(2, "renamed", 10, 10);
    ASSERT_EQ(map.Marks().size(), 1u);
    EXPECT_EQ(map.Marks().front(), (MapMark{2, 10, 10, "renamed"}));

    map.ClearMarks();
    EXPECT_TRUE(map.Marks().empty());
    EXPECT_EQ(map.ExtentX(), 100) << "clearing recentres";
}

// The grid as the map has always described it, a line per value, walking out from g * (centre / g) in both
// directions while the position stays within 0 to size.
std::set<int> ReferenceGrid(int centre, int g, std::int64_t s, int mid, int size) {
    std::set<int> out;
    const std::int64_t start = static_cast<std::int64_t>(g) * (centre / g);
    const auto at = [&](std::int64_t v) { return mid + (centre - v) / s; };
    for (std::int64_t v = start; at(v) >= 0 && at(v) <= size; v += g) {
        out.insert(static_cast<int>(at(v)));
    }
    for (std::int64_t v = start - g; at(v) >= 0 && at(v) <= size; v -= g) {
        out.insert(static_cast<int>(at(v)));
    }
    return out;
}

struct GridCase {
    int centre, grid;
    std::int64_t scale;
    int mid, size;
};

TEST(GridPositions, MatchTheLineByLineWalk) {
    const GridCase cases[] = {
        {0, 1000, 10, 100, 200},
        {5000, 1000, 10, 100, 200},
        {-2750, 1000, 7, 150, 301},
        {123456, 1000, 1, 150, 300},
        {999, 1000, 30, 100, 200},
        {-1, 1000, 3, 1, 3},
        {5, 10, 1, 50, 100},
        {-777, 33, 2, 60, 121},
        // More values than pixels: positions are found pixel by pixel.
        {kMax, 1000, 1000, 150, 300},
        {0, 10, 37, 150, 300},
        {12345, 7, 1000, 100, 200},
    };
    for (const auto &c : cases) {
        const auto positions = GridPositions(c.centre, c.grid, c.scale, c.mid, c.size);
        EXPECT_EQ(std::set<int>(positions.begin(), positions.end()),
                  ReferenceGrid(c.centre, c.grid, c.scale, c.mid, c.size))
            << "centre " << c.centre << " grid " << c.grid << " scale " << c.scale;
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
        EXPECT_EQ(std::set<int>(positions.begin(), positions.end()).size(), positions.size()) << "each line once";
    }
}

TEST(GridPositions, LinesTheWalkWouldMissOrTakeForever) {
    // 900 cm west of a line at 1 cm per pixel the walk starts at the line 0, which lies off the view, and stops
    // before reaching the line at 1000 cm, 100 pixels east of the bot.
    EXPECT_EQ(GridPositions(900, 1000, 1, 150, 300), (std::vector<int>{50}));
    // A scale far coarser than the grid puts lines on every pixel; found without walking millions of values.
    EXPECT_EQ(GridPositions(0, 1000, 2000000000, 150, 300).size(), 301u);
    EXPECT_TRUE(GridPositions(0, 0, 1, 150, 300).empty()) << "no grid";
    EXPECT_EQ(GridPositions(0, -1000, 10, 100, 200), GridPositions(0, 1000, 10, 100, 200));
}

TEST(MapZoom, TypesAndLevels) {
    MapZoom zoom;
    EXPECT_EQ(zoom.Type(), 0);
    EXPECT_EQ(zoom.Scale(), 0);
    EXPECT_FALSE(zoom.ButtonsEnabled());
    zoom.SetType(1);
    EXPECT_EQ(zoom.Scale(), 30);
    EXPECT_TRUE(zoom.ButtonsEnabled());
    zoom.ZoomOut();
    EXPECT_EQ(zoom.ManualZoomLevel(), 31) << "\"-\" from 30";
    for (int i = 0; i < 40; ++i) {
        zoom.ZoomIn();
    }
    EXPECT_EQ(zoom.ManualZoomLevel(), 1);
    EXPECT_FALSE(zoom.ZoomIn()) << "\"+\" at 1 does nothing";
    EXPECT_EQ(zoom.ManualZoomLevel(), 1);
    for (const int stored : {7, -1, 2}) {
        zoom.SetType(stored);
        EXPECT_EQ(zoom.Type(), 0) << "stored zoom type " << stored;
    }
}

TEST(RestoredMapGeometry, StoredRectangles) {
    struct Case {
        const char *name;
        int left, top, right, bottom;
        std::optional<MapGeometry> geometry;
    };
    const Case cases[] = {
        {"never stored", 0, 0, 0, 0, std::nullopt},
        {"as stored", 10, 20, 410, 520, MapGeometry{10, 20, 400, 500}},
        {"only one value", 0, 0, 300, 0, MapGeometry{0, 0, 300, 200}},
        {"reversed is the minimum", 500, 500, 100, 100, MapGeometry{500, 500, 200, 200}},
        {"huge is kept sane", kMin, 0, kMax, kMax, MapGeometry{kMin, 0, 32767, 32767}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(RestoredMapGeometry(c.left, c.top, c.right, c.bottom), c.geometry) << c.name;
    }
}

// The map keeps its marks indexed and its coordinates sorted instead of walking the marks; a long run of random
// operations must leave it exactly where the plain walk over a list of marks would: the same marks in the same
// order and the same extents after every step. Coordinates come from a small set, so marks often share them.
TEST(AvatarMapMarks, IndexedMarksAgreeWithAWalkOverTheList) {
    struct Reference {
        std::vector<MapMark> marks; // newest first
        int centreX = 0, centreZ = 0;
        std::int64_t extentX = 1000, extentZ = 1000;
        void SetCentre(int x, int z) {
            centreX = x;
            centreZ = z;
            extentX = extentZ = 100;
            for (const auto &m : marks) {
                extentX = std::max<std::int64_t>(extentX, std::abs(static_cast<std::int64_t>(x) - m.x));
                extentZ = std::max<std::int64_t>(extentZ, std::abs(static_cast<std::int64_t>(z) - m.z));
            }
        }
    };
    const int coordinates[] = {kMin, -5000, -100, 0, 7, 100, 5000, kMax};
    AvatarMap map;
    Reference reference;
    unsigned seed = 7;
    const auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int step = 0; step < 20000; ++step) {
        const int session = static_cast<int>(next(40));
        const int x = coordinates[next(8)];
        const int z = coordinates[next(8)];
        const unsigned operation = next(100);
        const char *name = "";
        if (operation < 60) {
            name = "add or move";
            const std::string text = "n" + std::to_string(step);
            map.AddOrUpdateMark(session, text, x, z);
            auto found = std::find_if(reference.marks.begin(), reference.marks.end(),
                                      [&](const MapMark &m) { return m.session == session; });
            if (found == reference.marks.end()) {
                reference.marks.insert(reference.marks.begin(), MapMark{session, z, x, text});
            } else {
                *found = MapMark{session, z, x, text};
            }
            reference.SetCentre(reference.centreX, reference.centreZ);
        } else if (operation < 90) {
            name = "remove";
            map.RemoveMarks(session);
            std::erase_if(reference.marks, [&](const MapMark &m) { return m.session == session; });
        } else if (operation < 98) {
            name = "recentre";
            map.SetCentre(x, z);
            reference.SetCentre(x, z);
        } else {
            name = "clear";
            map.ClearMarks();
            reference.marks.clear();
            reference.SetCentre(reference.centreX, reference.centreZ);
        }
        ASSERT_TRUE(std::equal(map.Marks().begin(), map.Marks().end(), reference.marks.begin(), reference.marks.end()))
            << "step " << step << ", " << name;
        ASSERT_EQ(map.ExtentX(), reference.extentX) << "step " << step << ", " << name;
        ASSERT_EQ(map.ExtentZ(), reference.extentZ) << "step " << step << ", " << name;
    }
}

} // namespace
