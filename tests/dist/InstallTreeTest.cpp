// `cmake --install` into a fresh prefix: the tree, the validators' verdicts on it, and the installed programs.

#include "dist/ProgramRun.h"

#include <array>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

// The build installed under a fresh prefix, once per test.
class InstalledTree : public testing::Test {
protected:
    void SetUp() override {
        const ProgramRun run = RunProgram({CMAKE_COMMAND, "--install", BUILD_DIR, "--prefix", prefix_.Path()});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
    }
    std::string Path(const std::string &relative) const { return prefix_.Path() + "/" + relative; }

    TempDir prefix_;
};

TEST_F(InstalledTree, HoldsEachFileWhereTheDesktopLooks) {
    for (const char *file :
         {"bin/gabbler", "bin/gabbler-universe", "share/applications/org.gabbler.Gabbler.desktop",
          "share/metainfo/org.gabbler.Gabbler.metainfo.xml", "share/icons/hicolor/scalable/apps/gabbler.svg",
          "share/man/man1/gabbler.1.gz", "share/man/man1/gabbler-universe.1.gz", "share/doc/gabbler/manual.html",
          "share/doc/gabbler/gbreadme.txt", "share/systemd/user/gabbler-headless@.service",
          "share/systemd/user/gabbler-universe.service"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(fs::is_regular_file(Path(file)));
        EXPECT_GT(fs::file_size(Path(file)), 0u);
    }
    for (const char *program : {"bin/gabbler", "bin/gabbler-universe"})
        EXPECT_NE(fs::status(Path(program)).permissions() & fs::perms::others_exec, fs::perms::none) << program;
}

TEST_F(InstalledTree, PassesTheValidators) {
    const std::vector<std::vector<std::string>> checks{
        {"desktop-file-validate", Path("share/applications/org.gabbler.Gabbler.desktop")},
        {"appstreamcli", "validate", "--no-net", Path("share/metainfo/org.gabbler.Gabbler.metainfo.xml")},
        {"man", "--warnings", "-E", "UTF-8", "-l", Path("share/man/man1/gabbler.1.gz")},
        {"man", "--warnings", "-E", "UTF-8", "-l", Path("share/man/man1/gabbler-universe.1.gz")},
    };
    for (const auto &check : checks) {
        SCOPED_TRACE(check.front() + " " + check.back());
        const ProgramRun run = RunProgram(check);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        // desktop-file-validate and man say nothing when all is well; appstreamcli only its verdict.
        EXPECT_EQ(run.err, "");
        if (check.front() != "appstreamcli" && check.front() != "man") {
            EXPECT_EQ(run.out, "");
        }
    }
}

// Width and height from a PNG's header.
std::array<unsigned, 2> PngSize(const std::string &path) {
    const std::string bytes = ReadWhole(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto big = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {big(16), big(20)};
}

TEST_F(InstalledTree, HasTheIconAtTheUsualSizes) {
    for (const unsigned size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(PngSize(Path("share/icons/hicolor/" + name + "/apps/gabbler.png")), (std::array{size, size})) << name;
    }
}

TEST_F(InstalledTree, UnitsRunTheInstalledPrograms) {
    const struct {
        const char *unit;
        const char *program;
    } units[] = {{"gabbler-headless@.service", "gabbler --headless"},
                 {"gabbler-universe.service", "gabbler-universe --data"}};
    for (const auto &u : units) {
        const std::string text = ReadWhole(Path(std::string("share/systemd/user/") + u.unit));
        EXPECT_NE(text.find("\nExecStart=" + Path("bin/") + u.program), std::string::npos) << text;
        EXPECT_EQ(text.find(".local/bin"), std::string::npos) << text;
    }
}

// Where each program says its manual is, and that the manual is there.
TEST_F(InstalledTree, EachGabblerFindsItsOwnDocuments) {
    const struct {
        std::string program;
        std::string manual;
    } gabblers[] = {{Path("bin/gabbler"), Path("share/doc/gabbler/manual.html")},
                    {GABBLER_EXECUTABLE, fs::path(GABBLER_EXECUTABLE).parent_path().string() + "/doc/manual.html"}};
    for (const auto &g : gabblers) {
        const ProgramRun run = RunProgram({g.program, "--help"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("The manual: " + g.manual + "\n"), std::string::npos) << run.out;
        EXPECT_TRUE(fs::is_regular_file(g.manual)) << g.manual;
    }
}

} // namespace
