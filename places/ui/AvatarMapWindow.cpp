#include "places/ui/AvatarMapWindow.h"

#include "places/ui/AvatarMapView.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

AvatarMapWindow::AvatarMapWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Avatar Map"));
    setMinimumSize(kMapMinimumSize, kMapMinimumSize);

    auto *zoomBox = new QGroupBox(QStringLiteral("Zoom"));
    automatic_ = new QRadioButton(QStringLiteral("&Auto"));
    manual_ = new QRadioButton(QStringLiteral("&Manual"));
    plus_ = new QPushButton(QStringLiteral("+"));
    minus_ = new QPushButton(QStringLiteral("-"));
    for (QPushButton *b : {plus_, minus_}) {
        b->setAutoDefault(false);
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("+")) * 4 + 8);
    }
    auto *zoomLayout = new QGridLayout(zoomBox);
    zoomLayout->addWidget(automatic_, 0, 0);
    zoomLayout->addWidget(manual_, 1, 0);
    zoomLayout->addWidget(plus_, 0, 1);
    zoomLayout->addWidget(minus_, 1, 1);

    auto *moveBox = new QGroupBox(QStringLiteral("Quick Move"));
    auto *moveLayout = new QGridLayout(moveBox);
    moveLayout->setSpacing(2);
    QPushButton *north =
        StepButton(QStringLiteral("N"), QStringLiteral("Alt+N"), QStyle::SP_ArrowUp, MoveCommand::North);
    QPushButton *south =
        StepButton(QStringLiteral("S"), QStringLiteral("Alt+S"), QStyle::SP_ArrowDown, MoveCommand::South);
    QPushButton *west =
        StepButton(QStringLiteral("W"), QStringLiteral("Alt+W"), QStyle::SP_ArrowLeft, MoveCommand::West);
    QPushButton *east =
        StepButton(QStringLiteral("E"), QStringLiteral("Alt+E"), QStyle::SP_ArrowRight, MoveCommand::East);
    moveLayout->addWidget(north, 0, 1);
    moveLayout->addWidget(west, 1, 0);
    moveLayout->addWidget(east, 1, 2);
    moveLayout->addWidget(south, 2, 1);

    // The arrow keys press the direction buttons while this window is active, before any control sees them.
    const std::pair<Qt::Key, QPushButton *> arrows[] = {
        {Qt::Key_Up, north}, {Qt::Key_Down, south}, {Qt::Key_Left, west}, {Qt::Key_Right, east}};
    for (const auto &[key, button] : arrows) {
        auto *shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    }

    view_ = new AvatarMapView;
    view_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto *controls = new QHBoxLayout;
    controls->addWidget(zoomBox);
    controls->addStretch();
    controls->addWidget(moveBox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);

    connect(automatic_, &QRadioButton::clicked, this, [this] {
        zoom_.SetType(0);
        ApplyZoomType();
    });
    connect(manual_, &QRadioButton::clicked, this, [this] {
        zoom_.SetType(1);
        ApplyZoomType();
    });
    connect(plus_, &QPushButton::clicked, this, &AvatarMapWindow::ZoomIn);
    connect(minus_, &QPushButton::clicked, this, &AvatarMapWindow::ZoomOut);

    resize(320, 400);
    ApplyZoomType();
}

QPushButton *AvatarMapWindow::StepButton(const QString &name, const QString &mnemonic, int icon, MoveCommand command) {
    auto *button = new QPushButton;
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setShortcut(QKeySequence(mnemonic));
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setObjectName(QStringLiteral("step") + name);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, [this, command] { emit stepRequested(command); });
    return button;
}

void AvatarMapWindow::SetZoomType(int type) {
    zoom_.SetType(type);
    ApplyZoomType();
}

void AvatarMapWindow::ApplyZoomType() {
    automatic_->setChecked(zoom_.Type() == 0);
    manual_->setChecked(zoom_.Type() == 1);
    view_->SetManualScale(zoom_.Scale());
    plus_->setEnabled(zoom_.ButtonsEnabled());
    minus_->setEnabled(zoom_.ButtonsEnabled());
}

void AvatarMapWindow::ZoomIn() {
    if (zoom_.ZoomIn()) {
        view_->SetManualScale(zoom_.ManualZoomLevel());
    }
}

void AvatarMapWindow::ZoomOut() {
    zoom_.ZoomOut();
    view_->SetManualScale(zoom_.ManualZoomLevel());
}

namespace {

// Room for the window manager's frames, which are not known before the windows are shown: borders, and a title bar
// above the window.
constexpr int kFrameGap = 16;
constexpr int kTitleRoom = 3 * kFrameGap;

int Centred(int start, int room, int size) { return start + std::max(0, (room - size) / 2); }

} // namespace

bool AvatarMapWindow::RestoreRect(const MapWindowRect &rect) {
    const auto geometry = RestoredMapGeometry(rect.left, rect.top, rect.right, rect.bottom);
    if (!geometry) {
        return false;
    }
    resize(geometry->width, geometry->height);
    // A hand-edited or outdated rectangle could put the window where no screen shows it.
    const QPoint titleBar(geometry->left + std::min(geometry->width / 2, 100), geometry->top + 10);
    const QScreen *screen = QGuiApplication::screenAt(titleBar);
    if (!screen) {
        return false;
    }
    const QRect room = screen->availableGeometry();
    const QSize fitted = FitOnScreen(size(), room);
    resize(fitted);
    QPoint at(geometry->left, geometry->top);
    // Stored with a larger screen or scale: onto this screen whole, frame and all. A place on it stays as it was.
    if (!room.contains(QRect(at, fitted))) {
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - fitted.width() - kFrameGap)));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - fitted.height() - kTitleRoom)));
    }
    move(at);
    return true;
}

QPoint AvatarMapWindow::MainPlace(QSize main, QRect map, QRect screen) {
    const QPoint centred(Centred(screen.left(), screen.width(), main.width()),
                         Centred(screen.top(), screen.height(), main.height()));
    if (!QRect(centred, main).adjusted(-kFrameGap, -kFrameGap, kFrameGap, kFrameGap).intersects(map)) {
        return centred;
    }
    const int leftOfMap = map.left() - kFrameGap - main.width();
    const int rightOfMap = map.left() + map.width() + kFrameGap;
    const bool leftFits = leftOfMap >= screen.left();
    const bool rightFits = rightOfMap + main.width() <= screen.left() + screen.width();
    const int top =
        std::max(screen.top(), std::min(map.top(), screen.top() + screen.height() - main.height() - kTitleRoom));
    if (leftFits && (!rightFits || centred.x() - leftOfMap <= rightOfMap - centred.x())) {
        return {leftOfMap, top};
    }
    if (rightFits) {
        return {rightOfMap, top};
    }
    return centred;
}

AvatarMapWindow::Places AvatarMapWindow::NextPlaces(QSize main, QRect map, QRect screen, int menuBarBottom) {
    const QPoint mainAt = MainPlace(main, map, screen);
    const bool covered = QRect(mainAt, main).adjusted(-kFrameGap, -kFrameGap, kFrameGap, kFrameGap).intersects(map);
    if (covered && main.width() + kFrameGap + map.width() <= screen.width()) {
        return FirstPlaces(main, map.size(), screen, menuBarBottom);
    }
    return {mainAt, map.topLeft()};
}

QSize AvatarMapWindow::FitOnScreen(QSize size, QRect screen) {
    return size.boundedTo((screen.size() - QSize(kFrameGap, kTitleRoom)).expandedTo(QSize(1, 1)));
}

AvatarMapWindow::Places AvatarMapWindow::FirstPlaces(QSize main, QSize map, QRect screen, int menuBarBottom) {
    constexpr int kGap = kFrameGap;
    const auto centred = Centred;
    const int together = main.width() + kGap + map.width();
    const int top = centred(screen.top(), screen.height(), std::max(main.height(), map.height()));
    if (together <= screen.width()) {
        const int left = centred(screen.left(), screen.width(), together);
        return {{left, top}, {left + main.width() + kGap, top}};
    }
    const QPoint mainAt(centred(screen.left(), screen.width(), main.width()),
                        centred(screen.top(), screen.height(), main.height()));
    const int mapLeft = std::max(screen.left(), screen.left() + screen.width() - map.width());
    const int belowMenus = mainAt.y() + menuBarBottom + kGap;
    const int mapTop =
        std::max(screen.top(), std::min(belowMenus, screen.top() + screen.height() - map.height() - kTitleRoom));
    return {mainAt, {mapLeft, mapTop}};
}

MapWindowRect AvatarMapWindow::StoredRect() const {
    // The frame's top-left, as move() takes it, and the size, as resize() takes it.
    QRect area = geometry();
    QPoint origin = pos();
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        const QPoint frameOffset = geometry().topLeft() - pos();
        area = normalGeometry();
        origin = area.topLeft() - frameOffset;
    }
    return {origin.x(), origin.y(), origin.x() + area.width(), origin.y() + area.height()};
}

void AvatarMapWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    emit recentreRequested();
    ApplyZoomType();
}

void AvatarMapWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
