// Which folder Help opens its documents from: beside the program (a build folder) or the installed tree.

#include "app/DocumentFolder.h"

#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char *name;
    bool beside;    // bin/doc/manual.html exists
    bool installed; // share/doc/gabbler/manual.html exists
    const char *expected;
};

class DocumentFolderCase : public testing::TestWithParam<Case> {};

TEST_P(DocumentFolderCase, IsFound) {
    const Case &c = GetParam();
    TempDir tree;
    const auto put = [&](const std::string &folder) {
        std::filesystem::create_directories(tree.File(folder));
        std::ofstream(tree.File(folder + "/manual.html")) << "<html></html>";
    };
    std::filesystem::create_directories(tree.File("bin"));
    if (c.beside)
        put("bin/doc");
    if (c.installed)
        put("share/doc/gabbler");
    EXPECT_EQ(FindDocumentFolder(QString::fromStdString(tree.File("bin"))).toStdString(), tree.File(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Trees, DocumentFolderCase,
                         testing::Values(Case{"BuildFolder", true, false, "bin/doc"},
                                         Case{"Installed", false, true, "share/doc/gabbler"},
                                         Case{"BesideWins", true, true, "bin/doc"},
                                         Case{"NeitherNamesBeside", false, false, "bin/doc"}),
                         [](const testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

} // namespace
