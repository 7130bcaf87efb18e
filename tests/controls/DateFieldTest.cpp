#include "controls/DateField.h"

#include "CalendarPrint.h"
#include "QtApp.h"
#include "controls/CalendarPopup.h"
#include "controls/EditDateDialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

class DateFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(400, 300);
        other = new QLabel(QStringLiteral("elsewhere"), window.get());
        other->setGeometry(300, 250, 80, 20); // clear of the calendar
        field = new DateField(window.get());
        field->SetFormat(CalendarNames{}, LongDateOrder::MonthDayYear);
        field->SetDate({2006, 0, 4});
        field->setGeometry(10, 10, 200, 28);
        QObject::connect(field, &DateField::dateChanged, [this](CalendarDate d) { changes.push_back(d); });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        changes.clear();
    }

    void TearDown() override {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CalendarPopup *Open() {
        QTest::mouseClick(field, Qt::LeftButton);
        CalendarPopup *popup = field->Popup();
        if (popup) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(popup));
        }
        return popup;
    }

    static QPoint Centre(const CellRect &r) { return QPoint(r.left + r.width / 2, r.top + r.height / 2); }

    // The pop-up goes away by deleteLater; let that happen so a dangling pointer would show.
    static void Settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::unique_ptr<QWidget> window;
    QLabel *other = nullptr;
    DateField *field = nullptr;
    std::vector<CalendarDate> changes;
};

TEST_F(DateFieldTest, OpensUnderTheFieldAndDisablesIt) {
    EXPECT_EQ(field->text(), QStringLiteral("January 5, 2006"));
    CalendarPopup *popup = Open();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_FALSE(field->isEnabled()) << "a second pop-up cannot open";
    // Under the field; the window system may add a few pixels of frame.
    const QPoint under = field->mapToGlobal(QPoint(0, field->height()));
    EXPECT_NEAR(popup->geometry().left(), under.x(), 4);
    EXPECT_GE(popup->geometry().top(), under.y());
    EXPECT_LE(popup->geometry().top(), under.y() + 4);
    EXPECT_EQ(popup->size(), QSize(CalendarPopup::kWidth, CalendarPopup::kHeight));
    EXPECT_EQ(popup->Date(), (CalendarDate{2006, 0, 4}));
    EXPECT_FALSE(popup->grab().isNull()); // paints without fault
    field->OpenPopup();
    EXPECT_EQ(field->Popup(), popup);
}

TEST_F(DateFieldTest, ChoosesADayWithTheKeys) {
    CalendarPopup *popup = Open();
    ASSERT_NE(popup, nullptr);
    const struct {
        Qt::Key key;
        CalendarDate after;
    } steps[] = {
        {Qt::Key_Right, {2006, 0, 5}},    {Qt::Key_Down, {2006, 0, 12}},  {Qt::Key_Left, {2006, 0, 11}},
        {Qt::Key_Up, {2006, 0, 4}},       {Qt::Key_Up, {2005, 11, 28}},   {Qt::Key_PageDown, {2006, 0, 28}},
        {Qt::Key_PageDown, {2006, 1, 0}}, {Qt::Key_PageUp, {2006, 0, 0}}, {Qt::Key_Left, {2005, 11, 30}},
        {Qt::Key_Right, {2006, 0, 0}},    {Qt::Key_A, {2006, 0, 0}},
    };
    for (const auto &s : steps) {
        QTest::keyClick(popup, s.key);
        EXPECT_EQ(popup->Date(), s.after) << "after key " << QKeySequence(s.key).toString().toStdString();
    }
    EXPECT_TRUE(changes.empty()) << "nothing is chosen before Enter";
    QTest::keyClick(popup, Qt::Key_Return);
    Settle();
    EXPECT_EQ(field->Popup(), nullptr);
    EXPECT_EQ(field->Date(), (CalendarDate{2006, 0, 0}));
    EXPECT_EQ(field->text(), QStringLiteral("January 1, 2006"));
    EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(changes, (std::vector<CalendarDate>{{2006, 0, 0}}));
}

TEST_F(DateFieldTest, ChoosesADayWithTheMouse) {
    CalendarPopup *popup = Open();
    ASSERT_NE(popup, nullptr);
    const CalendarLayout layout = popup->Layout();
    // A press on the weekday letters and a release there choose nothing.
    QTest::mouseClick(popup, Qt::LeftButton, {}, Centre(layout.Cell(2, 3)));
    ASSERT_EQ(field->Popup(), popup);
    EXPECT_EQ(popup->Date(), (CalendarDate{2006, 0, 4}));
    // The month buttons keep the focus on the calendar, so the keys still reach it.
    QTest::mouseClick(popup->NextMonthButton(), Qt::LeftButton);
    EXPECT_EQ(popup->Date(), (CalendarDate{2006, 1, 4}));
    QTest::mouseClick(popup->NextYearButton(), Qt::LeftButton);
    QTest::mouseClick(popup->PreviousMonthButton(), Qt::LeftButton);
    QTest::mouseClick(popup->PreviousYearButton(), Qt::LeftButton);
    QTest::mouseClick(popup->PreviousYearButton(), Qt::LeftButton);
    EXPECT_EQ(popup->Date(), (CalendarDate{2005, 0, 4}));
    EXPECT_EQ(QApplication::focusWidget(), popup);

    const QPoint day20 = Centre(layout.DayCell(2005, 0, 19));
    QTest::mousePress(popup, Qt::LeftButton, {}, day20);
    EXPECT_EQ(popup->Date(), (CalendarDate{2005, 0, 19})) << "a press selects";
    EXPECT_TRUE(changes.empty());
    QTest::mouseRelease(popup, Qt::LeftButton, {}, day20);
    Settle();
    EXPECT_EQ(field->Popup(), nullptr);
    EXPECT_EQ(changes, (std::vector<CalendarDate>{{2005, 0, 19}}));
    EXPECT_EQ(field->text(), QStringLiteral("January 20, 2005"));
    EXPECT_TRUE(field->isEnabled());
}

TEST_F(DateFieldTest, EscapeAndAClickOutsideCancel) {
    const struct {
        const char *name;
        std::function<void(CalendarPopup *)> close;
    } ways[] = {
        {"Escape", [](CalendarPopup *popup) { QTest::keyClick(popup, Qt::Key_Escape); }},
        {"a click outside",
         [this](CalendarPopup *) {
             // Through the window system, as a real click comes, so the application sees it is outside.
             QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, other->geometry().center());
         }},
        {"a click on the field, which must not reopen it",
         [this](CalendarPopup *) {
             QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, field->geometry().center());
         }},
        {"the dialog hiding", [this](CalendarPopup *) { window->hide(); }},
    };
    for (const auto &way : ways) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        CalendarPopup *popup = Open();
        ASSERT_NE(popup, nullptr) << way.name;
        QTest::keyClick(popup, Qt::Key_Right);
        way.close(popup);
        Settle();
        EXPECT_EQ(field->Popup(), nullptr) << way.name;
        EXPECT_TRUE(field->isEnabled()) << way.name;
        EXPECT_EQ(field->Date(), (CalendarDate{2006, 0, 4})) << way.name;
        EXPECT_TRUE(changes.empty()) << way.name;
    }
}

TEST_F(DateFieldTest, SpaceOnTheFieldOpensIt) {
    window->activateWindow();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Space);
    ASSERT_NE(field->Popup(), nullptr);
    QTest::keyClick(field->Popup(), Qt::Key_Enter);
    Settle();
    EXPECT_EQ(field->Popup(), nullptr);
    EXPECT_TRUE(changes.empty()) << "choosing the same day is no change";
}

TEST_F(DateFieldTest, ClosingTheDialogWithTheCalendarOpenIsSafe) {
    ASSERT_NE(Open(), nullptr);
    window.reset();
    Settle();
}

// Closes every message box that opens, remembering what it said.
class BoxCatcher {
public:
    BoxCatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                box->accept();
            }
        });
        timer_.start(20);
    }
    std::vector<QString> texts;

private:
    QTimer timer_;
};

class EditDateDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *old = std::getenv("TZ");
        if (old)
            oldZone_ = old;
        hadZone_ = old != nullptr;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone_)
            setenv("TZ", oldZone_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string oldZone_;
};

TEST_F(EditDateDialogTest, ButtonsGiveTheExpiry) {
    const struct {
        const char *name;
        CalendarDate date;
        QTime time;
        QPushButton *(EditDateDialog::*button)() const;
        int result;
        std::int32_t expiration;
        bool refused;
    } cases[] = {
        {"OK", {2037, 11, 30}, QTime(23, 59, 59), &EditDateDialog::OkButton, QDialog::Accepted, 2145916799, false},
        {"OK on the last second there is",
         {2038, 0, 18},
         QTime(3, 14, 7),
         &EditDateDialog::OkButton,
         QDialog::Accepted,
         2147483647,
         false},
        {"Never", {2010, 5, 1}, QTime(12, 0, 0), &EditDateDialog::NeverButton, QDialog::Accepted, 0, false},
        {"Cancel", {2010, 5, 1}, QTime(12, 0, 0), &EditDateDialog::CancelButton, QDialog::Rejected, 0, false},
        {"OK past what 32 bits hold", {2038, 0, 18}, QTime(3, 14, 8), &EditDateDialog::OkButton, -1, 0, true},
        {"OK in 1969", {1969, 11, 30}, QTime(12, 0, 0), &EditDateDialog::OkButton, -1, 0, true},
        {"OK on the first second, which would read as Never",
         {1970, 0, 0},
         QTime(0, 0, 0),
         &EditDateDialog::OkButton,
         -1,
         0,
         true},
    };
    for (const auto &c : cases) {
        EditDateDialog dialog;
        dialog.DateBox()->SetDate(c.date);
        dialog.TimeBox()->setTime(c.time);
        dialog.setResult(-1);
        dialog.show();
        BoxCatcher boxes;
        QTest::mouseClick((dialog.*c.button)(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), c.result) << c.name;
        EXPECT_EQ(dialog.isVisible(), c.refused) << c.name;
        if (c.result == QDialog::Accepted) {
            EXPECT_EQ(dialog.Expiration(), c.expiration) << c.name;
        }
        EXPECT_EQ(boxes.texts,
                  c.refused ? std::vector<QString>{EditDateDialog::OutOfRangeText()} : std::vector<QString>{})
            << c.name;
    }
}

} // namespace
