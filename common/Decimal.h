#pragma once

#include <string_view>

// The C library's decimal conversion as the text files and gabbler.ini use it: optional leading white space and
// sign, then digits up to the first other character. Text without leading digits gives 0. Unlike atoi, a number
// beyond 32 bits saturates instead of being undefined.
int ReadDecimal(std::string_view text);
