// The connection and statement wrapper shared by the universe's store and the history.

#include "db/Database.h"

#include "TempDir.h"
#include "db/Statement.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

int CountRows(Database &db) {
    Statement s(db, "SELECT COUNT(*) FROM t");
    return s.Step() == SQLITE_ROW ? static_cast<int>(s.Int(0)) : -1;
}

TEST(Database, ATransactionNotCommittedLeavesNothingAndKeepsItsReason) {
    Database db;
    ASSERT_EQ(db.Open(""), SQLITE_OK);
    ASSERT_TRUE(db.Exec("CREATE TABLE t(x INTEGER PRIMARY KEY)"));
    {
        Transaction t(db);
        ASSERT_TRUE(t.Ok());
        EXPECT_TRUE(db.Exec("INSERT INTO t VALUES(1)"));
        EXPECT_FALSE(db.Exec("INSERT INTO t VALUES(1)"));
    }
    EXPECT_EQ(CountRows(db), 0);
    EXPECT_NE(db.LastError().find("UNIQUE"), std::string::npos) << db.LastError();
    {
        Transaction t(db);
        EXPECT_TRUE(db.Exec("INSERT INTO t VALUES(2)"));
        EXPECT_TRUE(t.Commit());
    }
    EXPECT_EQ(CountRows(db), 1);
}

TEST(Database, AStatementThatDoesNotPrepareFailsEveryStep) {
    Database db;
    ASSERT_EQ(db.Open(""), SQLITE_OK);
    Statement s(db, "SELEKT 1");
    EXPECT_FALSE(s.Ok());
    EXPECT_NE(s.Step(), SQLITE_ROW);
    EXPECT_FALSE(s.Run());
}

TEST(Database, StatementsAreReusedAfterAReset) {
    Database db;
    ASSERT_EQ(db.Open(""), SQLITE_OK);
    ASSERT_TRUE(db.Exec("CREATE TABLE t(x INTEGER PRIMARY KEY, y TEXT)"));
    Statement insert(db, "INSERT INTO t VALUES(?, ?)");
    for (int i = 1; i <= 3; ++i) {
        const std::string text = "line " + std::to_string(i);
        insert.Bind(1, i).BindStatic(2, text);
        EXPECT_TRUE(insert.Run());
        insert.Reset();
    }
    Statement read(db, "SELECT y FROM t WHERE x = 3");
    ASSERT_EQ(read.Step(), SQLITE_ROW);
    EXPECT_EQ(read.Text(0), "line 3");
}

TEST(Database, OpenModes) {
    TempDir dir;
    Database db;
    EXPECT_NE(db.Open(dir.File("missing.db"), Database::Mode::ReadOnly), SQLITE_OK);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.db"))) << "a read-only open creates nothing";

    ASSERT_EQ(db.Open(dir.File("own.db"), Database::Mode::ReadWriteOwner), SQLITE_OK);
    ASSERT_TRUE(db.Exec("PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES(1);"));
    for (const char *name : {"own.db", "own.db-wal"}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.File(name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

} // namespace
