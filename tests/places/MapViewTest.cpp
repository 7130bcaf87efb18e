#include "QtApp.h"
#include "places/ui/AvatarMapView.h"
#include "places/ui/AvatarMapWindow.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(0xFF, 0, 0);
const QRgb kGreen = qRgb(0, 0xFF, 0);
const QRgb kGrey = qRgb(0x40, 0x40, 0x40);
const QRgb kText = qRgb(0, 0x80, 0);

QImage Render(const AvatarMap &map, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white); // anything the map fails to paint shows up
    QPainter painter(&image);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    MapTextCache cache;
    PaintAvatarMap(painter, map, width, height, font, cache);
    return image;
}

// Text is smoothed, so its pixels are the text colour blended into the black ground.
bool AnyTextPixel(const QImage &image, const QRect &area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) == 0 && qBlue(p) == 0 && qGreen(p) > 0 && qGreen(p) <= qGreen(kText)) {
                return true;
            }
        }
    }
    return false;
}

bool AnyPixel(const QImage &image, const QRect &area, QRgb colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

struct Pixel {
    const char *what;
    int x, y;
    QRgb colour;
};

TEST(PaintAvatarMap, DrawsGridMarksAndBotWhereTheArithmeticPutsThem) {
    AvatarMap map;
    map.SetGrid(1000);
    map.SetManualScale(10);
    map.AddOrUpdateMark(1, "Alice", -500, -700); // 50 px east, 70 px south of the bot
    map.AddOrUpdateMark(2, "Far", -200000, 0);   // off the view
    map.SetCentre(0, 0);
    const QImage image = Render(map, 300, 300);
    if (const char *keep = std::getenv("GABBLER_KEEP_MAP")) {
        image.save(QString::fromUtf8(keep));
    }

    const Pixel pixels[] = {
        {"bot centre", 150, 150, kRed},
        {"bot left arm", 148, 150, kRed},
        {"bot right arm", 152, 150, kRed},
        {"bot top arm", 150, 148, kRed},
        {"bot bottom arm", 150, 152, kRed},
        {"grid past the bot's arm", 153, 150, kGrey},
        {"grid column west", 50, 100, kGrey},
        {"grid column east", 250, 100, kGrey},
        {"grid row south", 100, 250, kGrey},
        {"grid reaches the bottom row", 50, 299, kGrey},
        {"beside a grid column", 51, 100, kBlack},
        {"between the lines", 100, 100, kBlack},
        {"mark centre", 200, 220, kGreen},
        {"mark left end", 198, 220, kGreen},
        {"mark right end", 202, 220, kGreen},
        {"mark top end", 200, 218, kGreen},
        {"mark bottom end", 200, 222, kGreen},
        {"past the mark's left end", 197, 220, kBlack},
        {"past the mark's right end", 203, 220, kBlack},
        {"past the mark's bottom end", 200, 223, kBlack},
        {"mark's corner", 201, 221, kBlack},
    };
    for (const auto &p : pixels) {
        EXPECT_EQ(image.pixel(p.x, p.y), p.colour) << p.what << " at " << p.x << "," << p.y;
    }
    EXPECT_TRUE(AnyTextPixel(image, QRect(203, 223, 60, 16))) << "the mark's name right below its cross";
    EXPECT_TRUE(AnyTextPixel(image, QRect(0, 0, 100, 14))) << "top-left corner label";
    EXPECT_TRUE(AnyTextPixel(image, QRect(200, 286, 100, 14))) << "bottom-right corner label";
    EXPECT_TRUE(AnyTextPixel(image, QRect(120, 0, 60, 14))) << "scale label";
    EXPECT_FALSE(AnyPixel(image, image.rect(), qRgb(255, 255, 255))) << "every pixel is painted";
}

TEST(PaintAvatarMap, ViewsTooSmallToScaleShowOnlyTheGround) {
    AvatarMap map;
    map.SetGrid(1000);
    map.AddOrUpdateMark(1, "Alice", 0, 0);
    map.SetCentre(0, 0);
    for (const auto &[w, h] : {std::pair{2, 300}, std::pair{300, 2}, std::pair{1, 1}}) {
        const QImage image = Render(map, w, h);
        EXPECT_FALSE(AnyPixel(image, image.rect(), kRed)) << w << " by " << h;
        EXPECT_FALSE(AnyPixel(image, image.rect(), qRgb(255, 255, 255))) << w << " by " << h;
    }
}

// Names of printable ASCII are put together from pictures of their characters; they must come out as the text
// engine draws them, pixel for pixel: its kerning, its fractions of a pixel, its ligatures. Other names still go
// through the text engine.
TEST(MapTextCache, NamesPutTogetherFromCharactersMatchTheTextEngine) {
    struct Case {
        const char *name;
        const char *text; // UTF-8
    };
    const Case cases[] = {
        {"citizen", "Citizen12345"},
        {"bot", "[bot7]"},
        {"visitor", "\"visitor99\""},
        {"kerning pairs", "AVAWAY To Ty"},
        {"punctuation", "a_b-c {}|~ !@#$%^&*()"},
        {"ligatures", "office fl"},
        {"long", "[bot1234] \"visitor5678\" Citizen90 AVATAR Wolf Yoyo"},
        {"one character", "W"},
        {"two wide ones", "WW"},
        {"blanks only", "   "},
        {"not ASCII", "Zo\xc3\xab \xe6\x97\xa5"},
    };
    QFont mapFont(QStringLiteral("Arial"));
    mapFont.setPointSize(8);
    QFont serif(QStringLiteral("DejaVu Serif"));
    serif.setPixelSize(15);
    // Steps between characters too wide for the cache's table: the engine draws such names.
    QFont huge(QStringLiteral("DejaVu Sans"));
    huge.setPixelSize(700);
    for (const QFont &font : {mapFont, serif, huge}) {
        const QFontMetrics metrics(font);
        MapTextCache cache;
        cache.Prepare(font, 1);
        for (const Case &c : cases) {
            const QString text = QString::fromUtf8(c.text);
            if (font == huge && text.size() > 3) {
                continue; // short names are enough, and keep the pictures small
            }
            QImage reference(metrics.horizontalAdvance(text) + 2 * MapTextCache::kNamePad, metrics.height() + 1,
                             QImage::Format_ARGB32_Premultiplied);
            reference.fill(Qt::transparent);
            {
                QPainter painter(&reference);
                painter.setFont(font);
                painter.setPen(kText);
                painter.drawText(MapTextCache::kNamePad, metrics.ascent(), text);
            }
            const QImage &picture = cache.Name(c.text);
            const std::string what = font.family().toStdString() + ", " + c.name;
            ASSERT_EQ(picture.size(), reference.size()) << what;
            int differing = 0;
            for (int y = 0; y < picture.height(); ++y) {
                for (int x = 0; x < picture.width(); ++x) {
                    differing += picture.pixel(x, y) != reference.pixel(x, y);
                }
            }
            EXPECT_EQ(differing, 0) << what << ": pixels unlike the text engine's";
            EXPECT_EQ(&cache.Name(c.text), &picture) << what << ": made once";
        }
    }
}

TEST(AvatarMapView, PaintsInsideItsFrame) {
    AvatarMapView view;
    view.resize(302, 302);
    view.SetCentre(0, 0);
    view.AddOrUpdateMark(1, "", -500, 0);
    view.SetManualScale(10);
    const QRect area = view.contentsRect();
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    view.render(&image);
    const QPoint middle = area.topLeft() + QPoint(area.width() / 2, area.height() / 2);
    EXPECT_EQ(image.pixel(middle), kRed);
    EXPECT_EQ(image.pixel(middle + QPoint(50, 0)), kGreen);
    EXPECT_EQ(view.Map().Marks().size(), 1u);
    view.RemoveMarks(1);
    EXPECT_TRUE(view.Map().Marks().empty());
}

QPushButton *ButtonWithText(QWidget &window, const QString &text) {
    for (auto *button : window.findChildren<QPushButton *>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

TEST(AvatarMapWindow, ZoomControls) {
    AvatarMapWindow window;
    QPushButton *plus = ButtonWithText(window, QStringLiteral("+"));
    QPushButton *minus = ButtonWithText(window, QStringLiteral("-"));
    ASSERT_TRUE(plus && minus);
    EXPECT_FALSE(plus->isEnabled());
    EXPECT_EQ(window.View().Map().ManualScale(), 0);

    window.SetZoomType(1);
    EXPECT_TRUE(plus->isEnabled() && minus->isEnabled());
    EXPECT_EQ(window.View().Map().ManualScale(), 30);
    minus->click();
    EXPECT_EQ(window.View().Map().ManualScale(), 31);
    plus->click();
    plus->click();
    EXPECT_EQ(window.View().Map().ManualScale(), 29);

    window.View().SetManualScale(30); // the bot's start sets its own scale; applying the zoom type replaces it
    window.ApplyZoomType();
    EXPECT_EQ(window.View().Map().ManualScale(), 29);

    window.SetZoomType(5);
    EXPECT_EQ(window.ZoomType(), 0);
    EXPECT_FALSE(minus->isEnabled());
    EXPECT_EQ(window.View().Map().ManualScale(), 0);
}

TEST(AvatarMapWindow, ArrowsStepHidingAndSize) {
    QWidget owner;
    auto *window = new AvatarMapWindow(&owner);
    QSignalSpy steps(window, &AvatarMapWindow::stepRequested);
    QSignalSpy recentre(window, &AvatarMapWindow::recentreRequested);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    const std::pair<Qt::Key, MoveCommand> arrows[] = {{Qt::Key_Up, MoveCommand::North},
                                                      {Qt::Key_Down, MoveCommand::South},
                                                      {Qt::Key_Left, MoveCommand::West},
                                                      {Qt::Key_Right, MoveCommand::East}};
    for (const auto &[key, command] : arrows) {
        steps.clear();
        QTest::keyClick(window, key);
        ASSERT_EQ(steps.count(), 1) << "key " << key;
        EXPECT_EQ(steps.first().first().value<MoveCommand>(), command) << "key " << key;
    }

    recentre.clear();
    window->resize(400, 450);
    QApplication::processEvents();
    EXPECT_GE(recentre.count(), 1) << "a size change recentres";
    window->resize(50, 50);
    EXPECT_GE(window->width(), kMapMinimumSize);
    EXPECT_GE(window->height(), kMapMinimumSize);

    window->close();
    EXPECT_FALSE(window->isVisible());
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << "Escape hides";
    EXPECT_EQ(owner.findChildren<AvatarMapWindow *>().size(), 1) << "hidden, not destroyed";
}

TEST(AvatarMapWindow, StoredRectangleRoundTrip) {
    AvatarMapWindow window;
    EXPECT_TRUE(window.RestoreRect({40, 50, 340, 450}));
    const MapWindowRect stored = window.StoredRect();
    EXPECT_EQ(stored.right - stored.left, 300);
    EXPECT_EQ(stored.bottom - stored.top, 400);
    EXPECT_EQ(stored.left, 40);
    EXPECT_EQ(stored.top, 50);

    EXPECT_FALSE(window.RestoreRect({0, 0, 0, 0}));
    EXPECT_EQ(window.StoredRect().left, 40) << "never stored: the window stays";
    EXPECT_FALSE(window.RestoreRect({-100000, -100000, -99000, -99000}));
    EXPECT_EQ(window.StoredRect().left, 40) << "a place no screen shows is not taken";
    EXPECT_EQ(window.width(), 1000);
}

// Without a stored place the map goes beside the main window, never over its menus.
TEST(AvatarMapWindow, FirstPlacesSideBySideOrClearOfTheMenus) {
    struct Case {
        const char *what;
        QRect screen;
        QPoint main;
        QPoint map;
    };
    const QSize main(800, 520);
    const QSize map(320, 400);
    const Case cases[] = {
        {"wide screen: centred together", QRect(0, 0, 1400, 950), QPoint(132, 215), QPoint(948, 215)},
        {"screen with an offset", QRect(100, 30, 1400, 950), QPoint(232, 245), QPoint(1048, 245)},
        {"narrow screen: right edge below the menus", QRect(0, 0, 1024, 768), QPoint(112, 124), QPoint(704, 165)},
    };
    for (const Case &c : cases) {
        const AvatarMapWindow::Places places = AvatarMapWindow::FirstPlaces(main, map, c.screen, 25);
        EXPECT_EQ(places.main, c.main) << c.what;
        EXPECT_EQ(places.map, c.map) << c.what;
        const QRect menus(places.main, QSize(main.width(), 25));
        EXPECT_FALSE(menus.intersects(QRect(places.map, map))) << c.what;
    }
}

// Once the map has a stored place the main window opens centred, or beside the map when the map would cover it.
TEST(AvatarMapWindow, MainWindowKeepsClearOfTheStoredMap) {
    const QSize main(800, 520);
    const QRect screen(0, 0, 1400, 950);
    struct Case {
        const char *what;
        QRect map;
        QPoint expected;
    };
    const Case cases[] = {
        {"map in a corner: centred", QRect(0, 0, 250, 300), QPoint(300, 215)},
        {"map where the first run put it", QRect(948, 215, 320, 400), QPoint(132, 215)},
        {"map on the left", QRect(40, 300, 320, 400), QPoint(376, 300)},
        {"map in the middle of a small screen: centred", QRect(500, 300, 320, 400), QPoint(300, 215)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(AvatarMapWindow::MainPlace(main, c.map, screen), c.expected) << c.what;
    }
    const AvatarMapWindow::Places first = AvatarMapWindow::FirstPlaces(main, QSize(320, 400), screen, 25);
    EXPECT_EQ(AvatarMapWindow::MainPlace(main, QRect(first.map, QSize(320, 400)), screen), first.main)
        << "the next run gives the main window the first run's place";
}

// Where the main window can only go under the stored map, both go side by side when the screen has room for that.
TEST(AvatarMapWindow, NextPlacesMoveTheMapOnlyWhenItWouldCoverTheMainWindow) {
    const QSize main(800, 520);
    struct Case {
        const char *what;
        QRect screen;
        QRect map;
        QPoint main;
        QPoint mapAt;
    };
    const Case cases[] = {
        {"clear of the map: the map stays", QRect(0, 0, 1400, 950), QRect(0, 0, 250, 300), QPoint(300, 215),
         QPoint(0, 0)},
        {"covered, room for both: side by side", QRect(0, 0, 1400, 950), QRect(500, 300, 320, 400), QPoint(132, 215),
         QPoint(948, 215)},
        {"covered, no room for both: the map stays", QRect(0, 0, 1024, 768), QRect(300, 200, 320, 400),
         QPoint(112, 124), QPoint(300, 200)},
    };
    for (const Case &c : cases) {
        const AvatarMapWindow::Places places = AvatarMapWindow::NextPlaces(main, c.map, c.screen, 25);
        EXPECT_EQ(places.main, c.main) << c.what;
        EXPECT_EQ(places.map, c.mapAt) << c.what;
    }
}

// A window larger than the screen (a scaled one) shrinks to it, with room for its frame; a smaller one keeps its size.
TEST(AvatarMapWindow, FitOnScreenLeavesRoomForTheFrame) {
    const QRect scaled(0, 0, 700, 475);
    EXPECT_EQ(AvatarMapWindow::FitOnScreen(QSize(800, 520), scaled), QSize(684, 427));
    EXPECT_EQ(AvatarMapWindow::FitOnScreen(QSize(320, 400), scaled), QSize(320, 400));
    EXPECT_EQ(AvatarMapWindow::FitOnScreen(QSize(800, 520), QRect(0, 0, 1400, 950)), QSize(800, 520));
}

} // namespace
