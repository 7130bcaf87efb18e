#include "chat/ui/WorldListView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTest>

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "test_chat_world_list_view";
    char *argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] auto *const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// The "Users" column must show the widest count whole wherever its row stands, even thousands of rows away from
// the part of the list on screen, and follow the counts down again when the list narrows.
TEST(WorldListView, UsersColumnFitsTheWidestCountAnywhereInTheList) {
    struct Case {
        const char *name;
        int worlds;
        int wideRow; // index, in order of report, of the world with the wide count
        int wideCount;
    };
    const Case cases[] = {
        {"at the top", 3000, 0, 123456789},
        {"far below the view", 6000, 4500, 987654321},
        {"the last row", 3000, 2999, 2147483647},
        {"negative count", 3000, 1500, -123456789},
    };
    for (const Case &c : cases) {
        WorldRecords records;
        for (int i = 0; i < c.worlds; ++i) {
            // Names sort in report order, so wideRow is the row's place in the view too.
            char name[16];
            std::snprintf(name, sizeof name, "w%06d", i);
            records.Report(name, 1, i == c.wideRow ? c.wideCount : 1 + i % 9);
        }
        WorldList list;
        list.Rebuild(records, false, false);
        WorldListView view(list, nullptr);
        view.resize(300, 200);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view)) << c.name;
        view.Refresh();
        QApplication::processEvents();
        const int needed = QFontMetrics(view.font()).horizontalAdvance(QString::number(c.wideCount));
        EXPECT_GE(view.header()->sectionSize(1), needed) << c.name;

        // A header click re-sorts; the widest count is still measured.
        QTest::mouseClick(view.header()->viewport(), Qt::LeftButton, {},
                          QPoint(view.header()->sectionViewportPosition(0) + 5, view.header()->height() / 2));
        QApplication::processEvents();
        EXPECT_EQ(list.SortKey(), -1) << c.name;
        EXPECT_GE(view.header()->sectionSize(1), needed) << c.name << ", after a header click";

        // The wide world empties: the column narrows to what the counts left need.
        for (const auto &row : list.Rows()) {
            records.Report(row.name, 1, 1);
        }
        list.Rebuild(records, false, false);
        view.Refresh();
        QApplication::processEvents();
        EXPECT_LT(view.header()->sectionSize(1), needed) << c.name << ", after the counts shrank";
    }
}

} // namespace
