#include "places/AvatarMap.h"

#include "places/Coordinates.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int64_t kMinimumExtent = 100;
constexpr int kMaximumWindowSize = 32767;

std::int64_t Distance(int a, int b) {
    const std::int64_t d = static_cast<std::int64_t>(a) - b;
    return d < 0 ? -d : d;
}

int Saturate(std::int64_t value) {
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Floor and ceiling of a / b for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); }
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a / b + (a % b != 0 && a > 0 ? 1 : 0); }

// The offsets d = centre - v that truncate to q when divided by s (s > 0).
std::pair<std::int64_t, std::int64_t> OffsetsFor(std::int64_t q, std::int64_t s) {
    if (q > 0) {
        return {q * s, q * s + s - 1};
    }
    if (q < 0) {
        return {q * s - s + 1, q * s};
    }
    return {-(s - 1), s - 1};
}

} // namespace

void AvatarMap::SetCentre(int x, int z) {
    centreX_ = x;
    centreZ_ = z;
    Measure();
}

// The largest distance from the centre to a mark on each axis, at least the minimum.
void AvatarMap::Measure() {
    extentX_ = kMinimumExtent;
    extentZ_ = kMinimumExtent;
    if (!marks_.empty()) {
        extentX_ = std::max({extentX_, Distance(centreX_, *xs_.begin()), Distance(centreX_, *xs_.rbegin())});
        extentZ_ = std::max({extentZ_, Distance(centreZ_, *zs_.begin()), Distance(centreZ_, *zs_.rbegin())});
    }
}

void AvatarMap::AddOrUpdateMark(int session, std::string_view name, int x, int z) {
    auto found = bySession_.find(session);
    if (found != bySession_.end()) {
        Entry &entry = found->second;
        xs_.erase(entry.x);
        zs_.erase(entry.z);
        entry.mark->name = name;
        entry.mark->x = x;
        entry.mark->z = z;
    } else {
        marks_.push_front({session, z, x, std::string(name)});
        found = bySession_.emplace(session, Entry{marks_.begin(), {}, {}}).first;
    }
    found->second.x = xs_.insert(x);
    found->second.z = zs_.insert(z);
    Measure();
}

void AvatarMap::RemoveMarks(int session) {
    const auto found = bySession_.find(session);
    if (found == bySession_.end()) {
        return;
    }
    xs_.erase(found->second.x);
    zs_.erase(found->second.z);
    marks_.erase(found->second.mark);
    bySession_.erase(found);
}

void AvatarMap::ClearMarks() {
    marks_.clear();
    bySession_.clear();
    xs_.clear();
    zs_.clear();
    Measure();
}

void AvatarMap::SetManualScale(int centimetresPerPixel) { manualScale_ = std::max(centimetresPerPixel, 0); }

void AvatarMap::SetGrid(int centimetres) { grid_ = centimetres; }

std::optional<MapFrame> MapFrameFor(const AvatarMap &map, int width, int height) {
    if (width < 3 || height < 3) {
        return std::nullopt;
    }
    MapFrame f;
    f.width = width;
    f.height = height;
    f.midX = width / 2;
    f.midY = height / 2;
    f.scale = std::max(map.ExtentX() / (width / 3), map.ExtentZ() / (height / 3));
    if (f.scale < 1) {
        f.scale = 1;
    }
    if (map.ManualScale() != 0) {
        f.scale = map.ManualScale();
    }
    f.centreX = map.CentreX();
    f.centreZ = map.CentreZ();
    f.grid = map.Grid();
    return f;
}

std::string MapScaleLabel(const MapFrame &f) {
    return std::to_string(f.scale * f.width / 100) + "mx" + std::to_string(f.scale * f.height / 100) + "m";
}

MapCornerLabels CornerLabelsFor(const MapFrame &f) {
    const int north = Saturate(f.centreZ + f.scale * f.midY);
    const int south = Saturate(f.centreZ - f.scale * f.midY);
    const int west = Saturate(f.centreX + f.scale * f.midX);
    const int east = Saturate(f.centreX - f.scale * f.midX);
    return {MapCornerText(north, west), MapCornerText(north, east), MapCornerText(south, west),
            MapCornerText(south, east)};
}

std::vector<int> GridPositions(int centre, int grid, std::int64_t scale, int mid, int size) {
    std::vector<int> positions;
    if (grid == 0 || scale < 1 || size < 0) {
        return positions;
    }
    const std::int64_t g = grid < 0 ? -static_cast<std::int64_t>(grid) : grid;
    const std::int64_t c = centre;
    // Every v whose position lies in 0..size: mid + (c - v) / s >= 0 and <= size.
    const std::int64_t vLow = c - OffsetsFor(size - mid, scale).second;
    const std::int64_t vHigh = c - OffsetsFor(-mid, scale).first;
    const std::int64_t kLow = CeilDiv(vLow, g);
    const std::int64_t kHigh = FloorDiv(vHigh, g);
    if (kHigh < kLow) {
        return positions;
    }
    if (kHigh - kLow <= size) {
        // Few enough lines to visit each; v falling means the position rising.
        for (std::int64_t k = kHigh; k >= kLow; --k) {
            const auto p = static_cast<int>(mid + (c - k * g) / scale);
            if (positions.empty() || positions.back() != p) {
                positions.push_back(p);
            }
        }
        return positions;
    }
    // More lines than pixels (a coarse manual scale): ask each pixel whether some line falls on it.
    for (int p = 0; p <= size; ++p) {
        const auto [dLow, dHigh] = OffsetsFor(p - mid, scale);
        if (FloorDiv(c - dLow, g) * g >= c - dHigh) {
            positions.push_back(p);
        }
    }
    return positions;
}

bool MapZoom::ZoomIn() {
    if (level_ <= 1) {
        return false;
    }
    --level_;
    return true;
}

void MapZoom::ZoomOut() {
    if (level_ < std::numeric_limits<int>::max()) {
        ++level_;
    }
}

std::optional<MapGeometry> RestoredMapGeometry(int left, int top, int right, int bottom) {
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        return std::nullopt;
    }
    const auto size = [](int from, int to) {
        return static_cast<int>(
            std::clamp<std::int64_t>(static_cast<std::int64_t>(to) - from, kMapMinimumSize, kMaximumWindowSize));
    };
    return MapGeometry{left, top, size(left, right), size(top, bottom)};
}
