// The running program at a screen scale (1, or 2 when built with GABBLER_TEST_SCALE=2) under a dark palette: the
// program's pictures are drawn for the device pixel ratio, the labels on the light backdrop stay readable, and the
// chat pane keeps its own background. The main window and the map are saved as screenshots for a person to look at
// (screenshots/ in the test's working folder).

#include "DarkDesktop.h"
#include "RunningApp.h"
#include "app/ui/Pictures.h"
#include "chat/ui/ChatView.h"
#include "places/ui/AvatarMapWindow.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPalette>

#ifndef GABBLER_TEST_SCALE
#define GABBLER_TEST_SCALE 1
#endif

namespace {

constexpr int kScale = GABBLER_TEST_SCALE;

class ScreenScale : public RunningApp {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_SCALE_FACTOR", QByteArray::number(kScale));
        RunningApp::SetUpTestSuite();
        QApplication::setPalette(DarkPalette());
    }

    static void Save(const QPixmap &shot, const char *what) {
        QDir().mkpath(QStringLiteral("screenshots"));
        const QString file = QStringLiteral("screenshots/%1-%2x.png").arg(QString::fromLatin1(what)).arg(kScale);
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
    }
};

TEST_F(ScreenScale, ThePicturesAreDrawnForTheDevicePixelRatio) {
    ASSERT_EQ(qApp->devicePixelRatio(), kScale);
    struct Case {
        const char *what;
        QIcon icon;
        int size;
    };
    const Case cases[] = {{"app", Pictures::AppIcon(), 32},        {"tray", Pictures::TrayIcon(3), 32},
                          {"world", Pictures::WorldIcon(1), 16},   {"private world", Pictures::WorldIcon(2), 16},
                          {"users tab", Pictures::TabIcon(0), 16}, {"teleports tab", Pictures::TabIcon(2), 16}};
    for (const Case &c : cases) {
        const QPixmap pixmap = c.icon.pixmap(QSize(c.size, c.size));
        EXPECT_EQ(pixmap.devicePixelRatio(), kScale) << c.what;
        EXPECT_EQ(pixmap.size(), QSize(c.size, c.size) * kScale) << c.what;
    }
    EXPECT_EQ(Pictures::SendButton(Qt::black).devicePixelRatio(), kScale);
    EXPECT_EQ(Pictures::AboutPicture().size(), QSize(64, 64) * kScale);
}

TEST_F(ScreenScale, TheMainWindowAndTheMapAreReadableUnderADarkPalette) {
    Start();
    MainWindow &window = gabbler_->Window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);
    const QPixmap shot = window.grab();
    EXPECT_EQ(shot.devicePixelRatio(), kScale);
    Save(shot, "main-window");
    Save(gabbler_->Map().grab(), "map");
    const QImage image = shot.toImage();

    // The labels on the gradient backdrop.
    for (QLabel *label : window.centralWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (!label->isVisible() || label->text().isEmpty()) {
            continue;
        }
        const QRect area(label->mapTo(&window, QPoint(0, 0)) * kScale, label->size() * kScale);
        EXPECT_GE(TextContrast(image, area), 4.5) << label->text().toStdString();
    }
    // SEND: the word, right of the arrow, against the button, and the button no larger than its face asks.
    QPushButton *send = window.SendButton();
    const QRect word(send->mapTo(&window, QPoint(send->width() / 2, 4)) * kScale,
                     QSize(send->width() / 2 - 6, send->height() - 8) * kScale);
    EXPECT_GE(TextContrast(image, word), 4.5);
    EXPECT_EQ(send->iconSize(), QSize(48, 18));
    // The chat pane keeps its own background, white unless the settings say otherwise, with its dark text on it.
    QWidget *pane = window.Chat()->viewport();
    const QRect paneArea(pane->mapTo(&window, QPoint(0, 0)) * kScale, pane->size() * kScale);
    EXPECT_EQ(image.pixelColor(paneArea.topLeft() + QPoint(2, 2) * kScale), QColor(Qt::white));
    EXPECT_GE(TextContrast(image, paneArea), 7.0);
}

} // namespace
