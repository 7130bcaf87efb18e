#pragma once

#include "places/AvatarMap.h"
#include "places/ui/MapTextCache.h"

#include <QFont>
#include <QFrame>

class QPainter;

// Paints the map into a width by height area whose top-left is the painter's origin: black ground, grid, scale
// label, corner labels, the marks with their names and the bot. Only what falls inside is drawn; an area
// narrower or lower than 3 pixels shows only its ground.
void PaintAvatarMap(QPainter &painter, const AvatarMap &map, int width, int height, const QFont &font,
                    MapTextCache &cache);

// The drawing area of the map window. Every change repaints it.
class AvatarMapView : public QFrame {
    Q_OBJECT

public:
    explicit AvatarMapView(QWidget *parent = nullptr);

    const AvatarMap &Map() const { return map_; }
    const QFont &MapFont() const { return font_; }

    void SetCentre(int x, int z);
    void AddOrUpdateMark(int session, const std::string &name, int x, int z);
    void RemoveMarks(int session);
    void ClearMarks();
    void SetManualScale(int centimetresPerPixel);
    void SetGrid(int centimetres);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AvatarMap map_;
    QFont font_;
    MapTextCache cache_;
};
