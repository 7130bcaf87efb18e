#pragma once

#include <string>
#include <string_view>

// Letter case folded in every script the C library knows (É and é, Ж and ж, Σ, σ and ς), for names that people
// type and that must match whatever their case: the universe's world names. Text that is not valid UTF-8 folds only
// its ASCII letters, so two different byte strings never become one name by accident of decoding.
std::string FoldUnicodeCase(std::string_view text);

bool SameUnicodeName(std::string_view a, std::string_view b);
