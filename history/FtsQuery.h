#pragma once

// Turns what a user types into a search box into a full-text expression that can never be a syntax error: words
// (all of them must occur), "phrases" in double quotes, and prefix* words. Everything else the engine would read
// as syntax (AND, OR, NEAR, parentheses, colons, carets, stray quotes) is searched for as plain text.

#include <string>
#include <string_view>

struct FtsQuery {
    std::string expression; // empty when the text holds nothing to search for
    int terms = 0;
};

FtsQuery MakeFtsQuery(std::string_view text);
