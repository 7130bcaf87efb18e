#include "DarkDesktop.h"
#include "QtApp.h"
#include "controls/ColorSwatch.h"
#include "controls/LinkLabel.h"
#include "controls/WarningLabel.h"

#include <QTest>

#include <gtest/gtest.h>
#include <vector>

namespace {

// A warning reads on the window it is on, also after the desktop's colours change under an open window.
TEST(SmallControls, WarningReadsOnLightAndDarkWindows) {
    QWidget window;
    auto *warning = new WarningLabel(&window);
    const struct {
        const char *name;
        QColor windowColour;
    } steps[] = {
        {"light", QColor(0xEF, 0xEF, 0xEF)},
        {"dark", QColor(0x2B, 0x2B, 0x2B)},
        {"light again", Qt::white},
    };
    for (const auto &step : steps) {
        QPalette colours = window.palette();
        colours.setColor(QPalette::Window, step.windowColour);
        window.setPalette(colours);
        const QColor text = warning->palette().color(QPalette::WindowText);
        EXPECT_GE(Contrast(text, step.windowColour), 4.5) << step.name;
    }
    // Saying something plain, it takes the window's own text colour.
    warning->SetWarning(false);
    EXPECT_EQ(warning->palette().color(QPalette::WindowText), window.palette().color(QPalette::WindowText));
}

TEST(SmallControls, SwatchAnnouncesOnlyAColourThePersonPicked) {
    ColorSwatch swatch;
    swatch.resize(40, 20);
    std::vector<QColor> offered;
    QColor answer;
    swatch.SetChooser([&](const QColor &current, QWidget *) {
        offered.push_back(current);
        return answer;
    });
    std::vector<QColor> changes;
    QObject::connect(&swatch, &ColorSwatch::colorChanged, [&](const QColor &c) { changes.push_back(c); });

    swatch.SetColor(QColor(10, 20, 30));
    swatch.SetColor(QColor()); // ignored
    EXPECT_EQ(swatch.Color(), QColor(10, 20, 30));

    const struct {
        const char *name;
        QColor answer;
        QColor after;
        std::size_t changes;
    } steps[] = {
        {"cancelled", QColor(), QColor(10, 20, 30), 0},
        {"picked", QColor(200, 100, 0), QColor(200, 100, 0), 1},
        {"picked the same again", QColor(200, 100, 0), QColor(200, 100, 0), 1},
    };
    for (const auto &s : steps) {
        answer = s.answer;
        const QColor before = swatch.Color();
        QTest::mouseClick(&swatch, Qt::LeftButton);
        ASSERT_FALSE(offered.empty()) << s.name;
        EXPECT_EQ(offered.back(), before) << s.name << ": the chooser starts at the current colour";
        EXPECT_EQ(swatch.Color(), s.after) << s.name;
        EXPECT_EQ(changes.size(), s.changes) << s.name;
    }
    swatch.show();
    swatch.setFocus();
    answer = QColor(1, 2, 3);
    QTest::keyClick(&swatch, Qt::Key_Space);
    EXPECT_EQ(swatch.Color(), QColor(1, 2, 3)) << "Space picks too";
    EXPECT_FALSE(swatch.grab().isNull());
}

TEST(SmallControls, LinkOpensOnAClickAndTheKeys) {
    LinkLabel link(QStringLiteral("<b>the web site</b>"), QUrl(QStringLiteral("https://example.org/gabbler")));
    link.resize(120, 20);
    std::vector<QUrl> opened;
    link.SetOpener([&](const QUrl &url) {
        opened.push_back(url);
        return true;
    });
    link.show();
    link.setFocus();

    QTest::mouseClick(&link, Qt::LeftButton);
    QTest::keyClick(&link, Qt::Key_Return);
    QTest::keyClick(&link, Qt::Key_Space);
    QTest::keyClick(&link, Qt::Key_A);
    QTest::mouseClick(&link, Qt::RightButton);
    EXPECT_EQ(opened.size(), 3u);
    // A press dragged off the label is no click.
    QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(500, 5));
    EXPECT_EQ(opened.size(), 3u);
    EXPECT_FALSE(link.grab().isNull());

    link.SetAddress(QUrl());
    EXPECT_FALSE(link.Open()) << "no address, nothing to open";
    EXPECT_EQ(opened.size(), 3u);
    for (const auto &url : opened)
        EXPECT_EQ(url, QUrl(QStringLiteral("https://example.org/gabbler")));
}

} // namespace
