// The main window and the map on a scaled screen (QT_SCALE_FACTOR=2): both fit on the screen, and the map does not
// cover the main window where the screen has room for the two side by side, whether or not the map has a stored
// place. The offscreen platform is given the screen's size in its configuration file.

#include "RunningApp.h"
#include "places/ui/AvatarMapWindow.h"

#include <QFile>
#include <QScreen>

#include <string>

namespace {

// A screen of width by height device pixels at scale 2; each suite has its own application and so its own screen.
template <int Width, int Height> class ScaledScreen : public RunningApp {
protected:
    static void SetUpTestSuite() {
        static TempDir folder;
        const QString config = QString::fromStdString(folder.File("screen.json"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"screens": [{"name": "scaled", "x": 0, "y": 0, "width": %1, "height": %2,
                                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                       .arg(Width)
                       .arg(Height)
                       .toUtf8());
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
        qputenv("QT_SCALE_FACTOR", "2");
        RunningApp::SetUpTestSuite();
    }
    static void TearDownTestSuite() {
        RunningApp::TearDownTestSuite();
        qunsetenv("QT_SCALE_FACTOR");
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // The map stored at left, top with the size the window starts with; all zero for none.
    void Check(int left, int top) {
        Settings settings;
        settings.showAvatarMap = true;
        if (left || top) {
            settings.avMapLeft = left;
            settings.avMapTop = top;
            settings.avMapRight = left + 320;
            settings.avMapBottom = top + 400;
        }
        Start(settings);
        MainWindow &window = gabbler_->Window();
        AvatarMapWindow &map = gabbler_->Map();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return map.isVisible(); }, 5000));
        QTest::qWait(100);
        const QRect screen = window.screen()->availableGeometry();
        ASSERT_EQ(screen.size(), QSize(Width, Height) / 2);
        // The title bars and the windows' insides; a border may stand out by a pixel or two.
        for (const QWidget *shown : {static_cast<QWidget *>(&window), static_cast<QWidget *>(&map)}) {
            EXPECT_TRUE(screen.adjusted(-4, 0, 4, 4).contains(shown->geometry())) << Text(shown->geometry());
            EXPECT_TRUE(screen.contains(shown->frameGeometry().topLeft())) << Text(shown->frameGeometry());
        }
        if (window.frameGeometry().width() + map.frameGeometry().width() <= screen.width()) {
            EXPECT_FALSE(window.frameGeometry().intersects(map.frameGeometry()))
                << Text(window.frameGeometry()) << " and " << Text(map.frameGeometry());
        }
        // The window may be made larger again, never smaller than it started.
        EXPECT_EQ(window.minimumSize(), window.size());
    }

    static std::string Text(const QRect &r) {
        return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y()).toStdString();
    }
};

// 1400 by 950 logical pixels: room for both side by side.
using LargeScaledScreen = ScaledScreen<2800, 1900>;
// 700 by 475: not even for the main window at its usual starting size.
using SmallScaledScreen = ScaledScreen<1400, 950>;

TEST_F(LargeScaledScreen, FirstRun) { Check(0, 0); }
TEST_F(LargeScaledScreen, MapStoredInTheMiddle) { Check(500, 300); }
TEST_F(LargeScaledScreen, MapStoredPartlyOffTheScreen) { Check(1000, 700); }
TEST_F(SmallScaledScreen, FirstRun) { Check(0, 0); }
TEST_F(SmallScaledScreen, MapStoredInTheMiddle) { Check(200, 50); }

} // namespace
