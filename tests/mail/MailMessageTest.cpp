#include "mail/MailMessage.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Found by argument lookup, so it lives beside MailRecipient.
void PrintTo(const MailRecipient &r, std::ostream *os) { *os << "('" << r.address << "', '" << r.name << "')"; }

namespace {

struct RecipientsCase {
    const char *list;
    bool ok;
    std::vector<MailRecipient> expected;
};

TEST(MailMessage, SplitsRecipientLists) {
    const RecipientsCase cases[] = {
        {"Ann Example <ann@example.org>;<bob@example.org>;carl@example.org",
         true,
         {{"ann@example.org", "Ann Example "}, {"bob@example.org", ""}, {"carl@example.org", ""}}},
        {"", true, {{"", ""}}},
        {"a@x;", true, {{"a@x", ""}, {"", ""}}},
        {"a@x;;b@x", true, {{"a@x", ""}, {"", ""}, {"b@x", ""}}},
        {" a@x ", true, {{" a@x ", ""}}},
        {"<a@x>trailing", true, {{"a@x", ""}}},
        {"Ann <a@x> <b@x>", true, {{"a@x", "Ann "}}},
        {"Ann <a@x>>", true, {{"a@x", "Ann "}}},
        {"Ann <a@x", false, {}},
        {"a@x;Bad <b@x;c@x", false, {{"a@x", ""}}},
        {"a>b<c>", false, {}},
        {"a@x;>b@x<", false, {{"a@x", ""}}},
    };
    for (const auto &c : cases) {
        MailMessage message;
        EXPECT_EQ(message.AddRecipients(c.list), c.ok) << "list: '" << c.list << "'";
        std::vector<MailRecipient> got;
        for (std::size_t i = 0; i < message.RecipientCount(); ++i) {
            got.push_back(*message.Recipient(i));
        }
        EXPECT_EQ(got, c.expected) << "list: '" << c.list << "'";
        EXPECT_FALSE(message.Recipient(message.RecipientCount()).has_value()) << "list: '" << c.list << "'";
    }
}

TEST(MailMessage, RecipientsAccumulateOverCalls) {
    MailMessage message;
    ASSERT_TRUE(message.AddRecipients("a@x"));
    ASSERT_TRUE(message.AddRecipients("B <b@x>"));
    ASSERT_EQ(message.RecipientCount(), 2u);
    EXPECT_EQ(*message.Recipient(1), (MailRecipient{"b@x", "B "}));
}

struct EscapeCase {
    std::string body;
    std::string wire;
};

TEST(EscapeMailBody, EndsEveryLineInCrLfAndDoublesLeadingDots) {
    const EscapeCase cases[] = {
        {".", "..\r\n"},
        {".\r\n", "..\r\n"},
        {"a\r\n.\r\nb", "a\r\n..\r\nb\r\n"},
        {".hidden\r\n..two\r\nmid.dle\r\n. spaced", "..hidden\r\n...two\r\nmid.dle\r\n.. spaced\r\n"},
        {"no end", "no end\r\n"},
        {"ends\r\n", "ends\r\n"},
        {"", "\r\n"},
        {"\r\n", "\r\n"},
        {"a\r\n\r\nb\r\n\r\n", "a\r\n\r\nb\r\n\r\n"},
        // What an edit control hands over: bare LF, or now and then a bare CR.
        {"a\nb\n.c", "a\r\nb\r\n..c\r\n"},
        {"a\rb\r\r\nc", "a\r\nb\r\n\r\nc\r\n"},
        {"a\n\n", "a\r\n\r\n"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(EscapeMailBody(c.body), c.wire) << "body: '" << c.body << "'";
    }
}

// Undoes the escaping: what a receiving server makes of the wire text.
std::string Unescape(const std::string &wire, std::size_t &longest) {
    std::string body;
    longest = 0;
    for (std::size_t at = 0; at < wire.size();) {
        const std::size_t end = wire.find("\r\n", at);
        std::string line = wire.substr(at, end - at);
        longest = std::max(longest, line.size());
        if (!line.empty() && line[0] == '.') {
            line.erase(0, 1);
        }
        body += line;
        at = end + 2;
    }
    return body;
}

TEST(EscapeMailBody, BreaksLinesTooLongForAServerWithoutLosingText) {
    std::string words;
    while (words.size() < 3000) {
        words += "word ";
    }
    std::string accents;
    for (int i = 0; i < 1200; ++i) {
        accents += "\xC3\xA9"; // é
    }
    const struct {
        const char *name;
        std::string line;
        std::string firstPiece; // empty: not checked
    } cases[] = {
        {"one long word", std::string(2500, 'a'), std::string(997, 'a')},        {"words", words, ""},
        {"dots", "." + std::string(996, 'x') + "." + std::string(500, 'y'), ""}, {"two-byte letters", accents, ""},
        {"exactly the limit", std::string(997, 'b'), std::string(997, 'b')},
    };
    for (const auto &c : cases) {
        const std::string wire = EscapeMailBody(c.line);
        std::size_t longest = 0;
        EXPECT_EQ(Unescape(wire, longest), c.line) << c.name;
        EXPECT_LE(longest, 998u) << c.name;
        if (!c.firstPiece.empty()) {
            EXPECT_EQ(wire.substr(0, wire.find("\r\n")), c.firstPiece) << c.name;
        }
        for (std::size_t at = 0; at < wire.size(); at = wire.find("\r\n", at) + 2) {
            EXPECT_NE(static_cast<unsigned char>(wire[at]) & 0xC0, 0x80) << c.name << ": a letter cut in two";
            EXPECT_FALSE(wire[at] == '.' && wire[at + 1] != '.' && wire[at + 1] != '\r')
                << c.name << ": a piece begins with a single dot";
        }
    }
    const std::string wire = EscapeMailBody(words);
    EXPECT_EQ(wire[wire.find("\r\n") - 1], ' ') << "words break after a blank";
}

TEST(HeaderValue, DropsLineBreaks) {
    EXPECT_EQ(HeaderValue("Bob\r\nBcc: eve@example.org\rX\n"), "BobBcc: eve@example.orgX");
    EXPECT_EQ(HeaderValue("plain"), "plain");
}

TEST(FormatMailDate, UsesEnglishNamesInAnyLocale) {
    const char *oldZone = std::getenv("TZ");
    const std::string savedZone = oldZone ? oldZone : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const std::string savedLocale = std::setlocale(LC_ALL, nullptr);
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;

    EXPECT_EQ(FormatMailDate(0), "Thu, 01 Jan 70 00:00:00 UTC") << (german ? "in de_DE" : "in C");
    EXPECT_EQ(FormatMailDate(1700000000), "Tue, 14 Nov 23 22:13:20 UTC");

    std::setlocale(LC_ALL, savedLocale.c_str());
    if (oldZone) {
        ::setenv("TZ", savedZone.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

} // namespace
