#include "chat/WebAddresses.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The found addresses as text, to read the cases at a glance.
std::vector<std::u16string> Found(std::u16string_view text) {
    std::vector<std::u16string> out;
    for (const WebAddressSpan &span : FindWebAddresses(text)) {
        out.emplace_back(text.substr(span.begin, span.end - span.begin));
    }
    return out;
}

struct FindCase {
    std::u16string_view text;
    std::vector<std::u16string> found;
};

TEST(WebAddresses, FindsWordsThatAreAddresses) {
    const FindCase cases[] = {
        {u"see http://example.org/a?b=c#d now", {u"http://example.org/a?b=c#d"}},
        {u"HTTPS://Example.org and www.example.org", {u"HTTPS://Example.org", u"www.example.org"}},
        {u"Alice: go to www.example.org.", {u"www.example.org"}},
        {u"(see https://en.wikipedia.org/wiki/Tree_(data_structure)), ok",
         {u"https://en.wikipedia.org/wiki/Tree_(data_structure)"}},
        {u"[http://example.org/x]", {u"http://example.org/x"}},
        {u"\"http://example.org/q\" or <http://example.org/r>", {u"http://example.org/q", u"http://example.org/r"}},
        {u"really?!http://a.b is glued", {u"http://a.b"}},
        {u"http://a.b\thttp://c.d\u00a0http://e.f", {u"http://a.b", u"http://c.d", u"http://e.f"}},
        {u"http://ünïcode.example/päth", {u"http://ünïcode.example/päth"}},
        // Not addresses.
        {u"http:// nothing after", {}},
        {u"https://", {}},
        {u"www. and www.", {}},
        {u"http://.example", {}},
        {u"awww.example.org xhttp://example.org mail@www.example.org", {}},
        {u"ftp://example.org javascript:alert(1) file:///etc/passwd", {}},
        {u"", {}},
    };
    for (const FindCase &c : cases) {
        EXPECT_EQ(Found(c.text), c.found) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(WebAddresses, WwwOpensOverHttp) {
    EXPECT_EQ(WebAddressTarget(u"www.example.org/x"), u"http://www.example.org/x");
    EXPECT_EQ(WebAddressTarget(u"WWW.example.org"), u"http://WWW.example.org");
    EXPECT_EQ(WebAddressTarget(u"https://example.org"), u"https://example.org");
}

} // namespace
