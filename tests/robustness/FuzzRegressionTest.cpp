// Every input a fuzzer ever failed on (tests/fuzz-regressions/<target>/) and every seed it starts from
// (fuzz/corpus/<target>/), replayed through the same target functions in the ordinary test run. A target's check
// aborts the program with its message; the input is the last one named on stderr.

#include "fuzz/FuzzTargets.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSourceRoot = GABBLER_SOURCE_DIR;

std::vector<fs::path> Inputs(const fs::path &folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzRegression : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzRegression, ReplaysSeedsAndEveryInputThatEverFailed) {
    const FuzzTarget &target = GetParam();
    const auto seeds = Inputs(kSourceRoot / "fuzz" / "corpus" / target.name);
    EXPECT_FALSE(seeds.empty()) << "every target has seeds in fuzz/corpus/" << target.name;
    auto inputs = seeds;
    const auto regressions = Inputs(kSourceRoot / "tests" / "fuzz-regressions" / target.name);
    inputs.insert(inputs.end(), regressions.begin(), regressions.end());
    for (const fs::path &path : inputs) {
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << path;
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replaying %s\n", path.c_str());
        EXPECT_EQ(target.run(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()), 0) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression, ::testing::ValuesIn(kFuzzTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget> &info) { return std::string(info.param.name); });

} // namespace
