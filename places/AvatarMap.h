#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One avatar on the map.
struct MapMark {
    int session = 0;
    int z = 0;
    int x = 0;
    std::string name;
    bool operator==(const MapMark &) const = default;
};

// What the avatar map shows, without the drawing: the marks (newest first), the centre (the bot), the extents
// that drive the automatic scale, the manual scale and the grid spacing.
//
// A busy world brings thousands of marks in one pump, so nothing here walks the marks: an index by session finds
// a mark at once, and the marks' coordinates are kept sorted per axis, so the extents come from the smallest and
// largest of each.
class AvatarMap {
public:
    AvatarMap() = default;
    // The index points into the list, so a copy would point into the original.
    AvatarMap(const AvatarMap &) = delete;
    AvatarMap &operator=(const AvatarMap &) = delete;
    AvatarMap(AvatarMap &&) = default;
    AvatarMap &operator=(AvatarMap &&) = default;

    // Stores the centre and measures the extents afresh: the largest distance to a mark on each axis, at least 100.
    void SetCentre(int x, int z);
    // Moves and renames every mark of the session, or puts a new one at the front; then re-measures.
    void AddOrUpdateMark(int session, std::string_view name, int x, int z);
    // The extents stay as they are until the next SetCentre.
    void RemoveMarks(int session);
    void ClearMarks();
    // Centimetres per pixel; 0 (or a negative value) means automatic.
    void SetManualScale(int centimetresPerPixel);
    // Centimetres between grid lines; 0 means no grid.
    void SetGrid(int centimetres);

    int CentreX() const { return centreX_; }
    int CentreZ() const { return centreZ_; }
    std::int64_t ExtentX() const { return extentX_; }
    std::int64_t ExtentZ() const { return extentZ_; }
    int ManualScale() const { return manualScale_; }
    int Grid() const { return grid_; }
    const std::list<MapMark> &Marks() const { return marks_; }

private:
    // A mark and its two coordinates in the sorted sets, so a departure erases them without searching.
    struct Entry {
        std::list<MapMark>::iterator mark;
        std::multiset<int>::iterator x;
        std::multiset<int>::iterator z;
    };
    void Measure();

    std::list<MapMark> marks_;
    std::unordered_map<int, Entry> bySession_;
    std::multiset<int> xs_;
    std::multiset<int> zs_;
    int centreX_ = 0;
    int centreZ_ = 0;
    // Differences of two 32-bit coordinates, so wider than 32 bits.
    std::int64_t extentX_ = 1000;
    std::int64_t extentZ_ = 1000;
    int manualScale_ = 0;
    int grid_ = 0;
};

// The arithmetic of one paint of a view width by height pixels. Divisions truncate toward zero, as the map has
// always drawn; the 64-bit values keep far-away marks from overflowing.
struct MapFrame {
    int width = 0;
    int height = 0;
    int midX = 0;           // width / 2
    int midY = 0;           // height / 2
    std::int64_t scale = 1; // centimetres per pixel
    int centreX = 0;
    int centreZ = 0;
    int grid = 0;

    std::int64_t Column(int x) const { return midX + (static_cast<std::int64_t>(centreX) - x) / scale; }
    std::int64_t Row(int z) const { return midY + (static_cast<std::int64_t>(centreZ) - z) / scale; }
};

// Nothing when the view is narrower or lower than 3 pixels: the automatic scale divides by a third of each.
std::optional<MapFrame> MapFrameFor(const AvatarMap &map, int width, int height);

// "%dmx%dm": the view's width and height in metres.
std::string MapScaleLabel(const MapFrame &frame);

// The coordinates under the four corners, as MapCornerText writes them.
struct MapCornerLabels {
    std::string topLeft, topRight, bottomLeft, bottomRight;
};
MapCornerLabels CornerLabelsFor(const MapFrame &frame);

// The columns (or rows) in 0 to size of the grid lines, each once and in increasing order: every multiple of the
// spacing whose position mid + (centre - v) / scale falls inside. Empty without a grid.
std::vector<int> GridPositions(int centre, int grid, std::int64_t scale, int mid, int size);
inline std::vector<int> GridColumns(const MapFrame &f) {
    return GridPositions(f.centreX, f.grid, f.scale, f.midX, f.width);
}
inline std::vector<int> GridRows(const MapFrame &f) {
    return GridPositions(f.centreZ, f.grid, f.scale, f.midY, f.height);
}

// The zoom of the map window: automatic (type 0) or manual at ManualZoomLevel centimetres per pixel, which starts
// at 30 in every run.
class MapZoom {
public:
    int Type() const { return type_; }
    // 1 is manual; any other stored value is taken as automatic.
    void SetType(int type) { type_ = type == 1 ? 1 : 0; }
    int ManualZoomLevel() const { return level_; }
    // The manual scale to give the map for the current type.
    int Scale() const { return type_ == 1 ? level_ : 0; }
    bool ButtonsEnabled() const { return type_ == 1; }
    // "+": one centimetre per pixel less, down to 1; false when nothing changed.
    bool ZoomIn();
    // "-": one more, without a limit short of the largest int.
    void ZoomOut();

private:
    int type_ = 0;
    int level_ = 30;
};

constexpr int kMapMinimumSize = 200;

// The map window's stored rectangle as left, top, width and height to restore, or nothing when all four values
// are 0 (never stored). Sizes are kept within the window's minimum and a sane maximum whatever the file says.
struct MapGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const MapGeometry &) const = default;
};
std::optional<MapGeometry> RestoredMapGeometry(int left, int top, int right, int bottom);
