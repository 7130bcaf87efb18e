#include "PlacesFakes.h"
#include "QtApp.h"
#include "controls/InputLimit.h"
#include "places/ui/ChangeAvatarDialog.h"
#include "places/ui/TeleportDialog.h"
#include "places/ui/TeleportEntryDialogs.h"
#include "places/ui/TeleportListView.h"
#include "sdk/Attributes.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs act on the next modal window to open (a dialog's exec() or a message box), once it is up.
void WhenModal(std::function<void(QWidget *)> act) {
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

// Answers a message box, returning its text through seen.
void AnswerBox(QMessageBox::StandardButton answer, QString *seen) {
    WhenModal([answer, seen](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        *seen = box->windowTitle() + "|" + box->text();
        box->button(answer)->click();
    });
}

TEST(TeleportDialog, PrefillAndReading) {
    TeleportDialog atOrigin("Sunset", Position{0, 0, 0, 0});
    EXPECT_EQ(atOrigin.windowTitle(), "Teleport");
    EXPECT_EQ(atOrigin.WorldField()->text(), "Sunset");
    EXPECT_EQ(atOrigin.CoordinatesField()->text(), "0.0S 0.0E 0.0a 0");
    EXPECT_EQ(atOrigin.Target(), (TeleportTarget{"Sunset", {}}));
    bool hint = false;
    for (auto *label : atOrigin.findChildren<QLabel *>()) {
        hint = hint || label->text() == "(e.g. \"40N 50W 2a 180\")";
    }
    EXPECT_TRUE(hint);

    atOrigin.CoordinatesField()->setText("10N 5W");
    EXPECT_EQ(atOrigin.Target(), (TeleportTarget{"Sunset", {5000, 0, 10000, 0}}));

    TeleportDialog longName("Riverlands", Position{});
    EXPECT_EQ(longName.WorldField()->text(), "Riverlands") << "a longer current world is not cut to 8";
    TeleportDialog empty("", Position{});
    QTest::keyClicks(empty.WorldField(), "Abcdefghij");
    EXPECT_EQ(empty.WorldField()->text(), "Abcdefgh") << "typing stops at 8";

    // A pasted name that does not fit is refused whole: cut, it would name another world.
    TeleportDialog pasted("", Position{});
    pasted.show();
    QStringList refusals;
    QObject::connect(InputLimit::Of(pasted.WorldField()), &InputLimit::Refused,
                     [&](const QString &message) { refusals << message; });
    InputLimit::Of(pasted.WorldField())->SetShowsMessage(false);
    QApplication::clipboard()->setText(QStringLiteral("Riverlands"));
    QTest::keyClick(pasted.WorldField(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pasted.WorldField()->text(), "");
    EXPECT_EQ(refusals.size(), 1);
}

TEST(TeleportListView, ClickTeleportsEditAndDeleteAsk) {
    TeleportList list;
    list.LoadText("Sunset 12.3N 4.5W:Home\r\n12N:Dock\r\n");
    TeleportListModel model(list);
    TeleportListView view(model);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Teleports");
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0).data().toString(), "Dock");

    QSignalSpy teleports(&view, &TeleportListView::teleportRequested);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QRect home = view.visualRect(model.index(1));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, home.center());
    ASSERT_EQ(teleports.count(), 1);
    EXPECT_EQ(teleports.first().first().value<TeleportTarget>(), (TeleportTarget{"Sunset", {4500, 0, 12300, 0}}));
    EXPECT_EQ(view.SelectedRow(), 1u);

    WhenModal([](QWidget *w) {
        auto *dialog = qobject_cast<EditTeleportDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->NameField()->text(), "Home");
        EXPECT_EQ(dialog->LocationField()->text(), "Sunset 12.3N 4.5W");
        dialog->NameField()->setText("A place");
        dialog->accept();
    });
    view.EditRow(1);
    EXPECT_EQ(list.Row(0), (TeleportEntry{"A place", "Sunset 12.3N 4.5W"})) << "took its new sorted place";

    QString seen;
    AnswerBox(QMessageBox::Cancel, &seen);
    view.DeleteRow(0);
    EXPECT_EQ(seen, "Gabbler Teleport List|Are you sure you wish to delete 'A place' ?");
    EXPECT_EQ(list.Size(), 2u) << "Cancel keeps the row";
    AnswerBox(QMessageBox::Ok, &seen);
    view.DeleteRow(0);
    EXPECT_EQ(list.Size(), 1u);
    EXPECT_EQ(model.rowCount(), 1);
    view.DeleteRow(5); // a row that is gone asks nothing
}

TEST(RememberLocation, AsksForANameThenTakesTheBotsPlace) {
    TeleportList list;
    TeleportListModel model(list);
    PlacesLog log;
    FakePlacesSdk sdk(log);
    sdk.strings[kAttrWorldName] = "Sunset";
    sdk.ints = {{kAttrMyX, 0}, {kAttrMyY, 0}, {kAttrMyZ, -1500}, {kAttrMyYaw, 900}};

    QString seen;
    WhenModal([&seen](QWidget *w) {
        auto *dialog = qobject_cast<RememberLocationDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Remember Location");
        AnswerBox(QMessageBox::Ok, &seen);
        dialog->accept(); // empty: the box, and the dialog stays
        EXPECT_TRUE(dialog->isVisible());
        dialog->NameField()->setText("Dock");
        dialog->accept();
    });
    RememberLocation(nullptr, model, sdk);
    EXPECT_EQ(seen, "Gabbler Teleport List|You must enter in a name for the teleport.");
    ASSERT_EQ(list.Size(), 1u);
    EXPECT_EQ(list.Row(0), (TeleportEntry{"Dock", "Sunset 1.5S 0.0W 0.0a 90"}));
}

TEST(ChangeAvatarDialog, DigitsOnlyAndAnIntegerRequired) {
    ChangeAvatarDialog dialog(12);
    EXPECT_EQ(dialog.windowTitle(), "Change Avatar");
    bool current = false;
    for (auto *label : dialog.findChildren<QLabel *>()) {
        current = current || label->text() == "Current avatar: 12";
    }
    EXPECT_TRUE(current);
    EXPECT_EQ(dialog.NumberField()->text(), "0");

    dialog.NumberField()->clear();
    QTest::keyClicks(dialog.NumberField(), "-2x5");
    EXPECT_EQ(dialog.NumberField()->text(), "25");
    InputLimit::Of(dialog.NumberField())->SetShowsMessage(false);
    dialog.NumberField()->setText(QString());
    QApplication::clipboard()->setText(QStringLiteral("12345678901"));
    QTest::keyClick(dialog.NumberField(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dialog.NumberField()->text(), "") << "an 11-digit number is not cut into another avatar's";

    dialog.show();
    dialog.NumberField()->clear();
    QString seen;
    AnswerBox(QMessageBox::Ok, &seen);
    dialog.accept();
    EXPECT_EQ(seen, "Change Avatar|Please enter an integer.");
    EXPECT_TRUE(dialog.isVisible()) << "an empty field keeps the dialog open";
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    dialog.NumberField()->setText("251");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.AvatarNumber(), 251);
}

} // namespace
