#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A web address found in a line of text, as positions in that text (UTF-16 units, as the screen counts them).
struct WebAddressSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool operator==(const WebAddressSpan &) const = default;
};

// The web addresses in text that people wrote: words starting with http://, https:// or www. (any letter case),
// without the punctuation that ends a sentence or closes brackets opened before the address. Other people's text
// stays text: only these spans become links, and only to http or https.
std::vector<WebAddressSpan> FindWebAddresses(std::u16string_view text);

// What to open for a found address: the address itself, with http:// before one that starts with www.
std::u16string WebAddressTarget(std::u16string_view found);
