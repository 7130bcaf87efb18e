#include "places/Coordinates.h"

#include "common/TextTrim.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The longest decimal number at the start of the token, as a standard conversion reads it; 0 when there is none.
double LeadingNumber(std::string_view token) {
    double value = 0.0;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; the C conversion gives the overflowed or underflowed value.
        static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
        std::string digits(token.data(), static_cast<std::size_t>(end - token.data()));
        return strtod_l(digits.c_str(), nullptr, c_locale);
    }
    return error == std::errc() ? value : 0.0;
}

// Truncates toward zero; beyond 32 bits the nearest representable value, and 0 for "nan".
int ToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

void AppendFixed1(std::string &out, double value) {
    char buffer[400];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    if (error == std::errc()) {
        out.append(buffer, end);
    }
}

void AppendCorner(std::string &out, int value, char positive, char negative) {
    const int whole = std::abs(value / 1000);
    const int thousandths = std::abs(value % 1000);
    out += std::to_string(whole);
    out += '.';
    if (thousandths < 100) {
        out += '0';
    }
    if (thousandths < 10) {
        out += '0';
    }
    out += std::to_string(thousandths);
    out += value < 0 ? negative : positive;
}

} // namespace

void ParseLocation(std::string_view text, std::string &world, int &z, int &x, int &y, int &yaw) {
    std::string_view rest = Trim(text);
    do {
        std::string_view token;
        if (const auto blank = rest.find(' '); blank != std::string_view::npos) {
            token = rest.substr(0, blank);
            rest = rest.substr(blank + 1);
        } else {
            token = rest;
            rest = {};
        }
        rest = TrimLeft(rest);

        if (token.empty() || !(IsDigit(token.front()) || token.front() == '.' || token.front() == '-')) {
            world = std::string(token);
            continue;
        }
        const double number = LeadingNumber(token);
        const char last = token.back();
        switch (last >= 'A' && last <= 'Z' ? static_cast<char>(last - 'A' + 'a') : last) {
        case 'n':
            z = ToInt(number * 1000);
            break;
        case 's':
            z = ToInt(number * -1000);
            break;
        case 'w':
            x = ToInt(number * 1000);
            break;
        case 'e':
            x = ToInt(number * -1000);
            break;
        case 'a':
            y = ToInt(number * 1000);
            break;
        default:
            if (IsDigit(last)) {
                yaw = ToInt(number * 10);
            }
            break;
        }
    } while (!rest.empty());
}

std::string FormatCoordinates(int z, int x, int y, int yaw) {
    std::string out;
    AppendFixed1(out, std::fabs(static_cast<double>(z)) * 0.001);
    out += z < 0 ? "S " : "N ";
    AppendFixed1(out, std::fabs(static_cast<double>(x)) * 0.001);
    out += x < 0 ? "E " : "W ";
    AppendFixed1(out, static_cast<double>(y) * 0.001);
    out += "a ";
    out += std::to_string(yaw / 10);
    return out;
}

std::string MapCornerText(int z, int x) {
    std::string out;
    AppendCorner(out, z, 'N', 'S');
    out += ' ';
    AppendCorner(out, x, 'W', 'E');
    return out;
}
