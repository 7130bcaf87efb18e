#include "server/Rights.h"

namespace {
bool IsSeparator(char c) { return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
} // namespace

bool RightsListGrants(std::string_view list, int citizen) {
    std::size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && IsSeparator(list[i]))
            ++i;
        const std::size_t start = i;
        while (i < list.size() && !IsSeparator(list[i]))
            ++i;
        const std::string_view token = list.substr(start, i - start);
        if (token.empty())
            continue;
        if (token.find('*') != std::string_view::npos)
            return true;
        // Leading decimal value, as atoi reads it; a value beyond int grants nobody rather than wrapping.
        std::size_t k = 0;
        bool negative = false;
        if (k < token.size() && (token[k] == '+' || token[k] == '-'))
            negative = token[k++] == '-';
        long long value = 0;
        bool digits = false;
        while (k < token.size() && token[k] >= '0' && token[k] <= '9' && value < 10000000000LL) {
            value = value * 10 + (token[k++] - '0');
            digits = true;
        }
        if (negative)
            value = -value;
        if (digits && citizen != 0 && value == citizen)
            return true;
    }
    return false;
}
