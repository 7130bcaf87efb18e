#pragma once

#include "places/AvatarMap.h"
#include "places/Movement.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

class AvatarMapView;
class QPushButton;
class QRadioButton;

// The map window's restored rectangle as the settings keep it.
struct MapWindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// "Avatar Map": the map view, the zoom controls and four buttons that step the bot. It is made once, hidden,
// and closing it only hides it. The owner moves the bot when asked and recentres the view on the bot.
class AvatarMapWindow : public QWidget {
    Q_OBJECT

public:
    explicit AvatarMapWindow(QWidget *parent = nullptr);

    AvatarMapView &View() { return *view_; }

    // The stored zoom type (0 automatic, 1 manual; other values count as automatic), applied at once.
    void SetZoomType(int type);
    int ZoomType() const { return zoom_.Type(); }
    // Gives the view the scale of the current zoom type and enables "+" and "-" for manual zoom.
    void ApplyZoomType();
    int ManualZoomLevel() const { return zoom_.ManualZoomLevel(); }

    // Moves the window to a stored rectangle; all zero keeps its place. A position no screen shows is not taken; a
    // rectangle partly off the screen it is on (stored with a larger screen or scale) is made to fit on it.
    // True when the window took a stored position.
    bool RestoreRect(const MapWindowRect &rect);

    // Where the main window and this one go while this one has no stored place (the first run), as the top-left
    // corners of their frames: side by side, centred together on the screen with their tops level, this one on
    // the right; on a screen too narrow for both, the main window centred and this one at the screen's right edge,
    // below the main window's menu bar (menuBarBottom, from the main window's top), so it never hides the menus.
    struct Places {
        QPoint main;
        QPoint map;
    };
    static Places FirstPlaces(QSize main, QSize map, QRect screen, int menuBarBottom);
    // Where the main window goes once this one has a stored place (map): centred on the screen, unless this
    // window would cover it there; then beside this one, on the side nearer the centre that the screen has room
    // for. So the two keep the places the first run gave them.
    static QPoint MainPlace(QSize main, QRect map, QRect screen);
    // Both places once this one has a stored place: the main window's as MainPlace gives it, and this one's kept;
    // but when the main window could only go under this one and the screen has room for both side by side, both
    // go side by side as on the first run.
    static Places NextPlaces(QSize main, QRect map, QRect screen, int menuBarBottom);
    // A window size that fits on the screen (an available area) with room for the window manager's frame.
    static QSize FitOnScreen(QSize size, QRect screen);
    // The window's normal rectangle, to be stored.
    MapWindowRect StoredRect() const;

signals:
    // A direction button or arrow key: the owner steps the bot and recentres the view.
    void stepRequested(MoveCommand command);
    // The view changed size: the owner recentres it on the bot's position.
    void recentreRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *StepButton(const QString &name, const QString &mnemonic, int icon, MoveCommand command);
    void ZoomIn();
    void ZoomOut();

    MapZoom zoom_;
    AvatarMapView *view_ = nullptr;
    QRadioButton *automatic_ = nullptr;
    QRadioButton *manual_ = nullptr;
    QPushButton *plus_ = nullptr;
    QPushButton *minus_ = nullptr;
};
