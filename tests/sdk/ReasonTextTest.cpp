#include "sdk/ReasonText.h"

#include <gtest/gtest.h>

namespace {

struct ReasonCase {
    int code;
    const char *text;
};

TEST(ReasonText, GivesTheTextOfItsCode) {
    const ReasonCase cases[] = {ReasonCase{0, "success"},
                                ReasonCase{4, "unable to find old element"},
                                ReasonCase{80, "acting citizen disabled"},
                                ReasonCase{128, "privilege password is too short"},
                                ReasonCase{471, "connection lost"},
                                ReasonCase{519, "citizen name changed"},
                                ReasonCase{93, "93"},
                                ReasonCase{9999, "9999"},
                                ReasonCase{-1, "-1"}};
    for (const auto &c : cases) {
        EXPECT_EQ(ReasonText(c.code), c.text) << "code " << c.code;
    }
}

TEST(ReasonTextResults, StayValidAcrossLaterCalls) {
    // A disconnection message is formatted from two texts; the first must not change with the second call.
    const std::string first = ReasonText(471);
    const std::string second = ReasonText(466);
    EXPECT_EQ(first + "/" + second, "connection lost/ejected");
}

} // namespace
