#include "bench/ScaleStats.h"

#include <algorithm>
#include <bit>
#include <charconv>

void LatencyHistogram::Add(long long ns) {
    const auto us = static_cast<std::uint64_t>(std::clamp<long long>(ns / 1000, 0, (1LL << 34) - 1));
    std::size_t index = us;
    if (us >= 2048) {
        const int shift = std::bit_width(us) - 11;
        index = 2048 + static_cast<std::size_t>(shift - 1) * 1024 + ((us >> shift) - 1024);
    }
    ++buckets_[std::min(index, buckets_.size() - 1)];
    ++count_;
    max_ = std::max(max_, static_cast<long long>(us));
}

double LatencyHistogram::PercentileMs(double p) const {
    if (count_ == 0)
        return 0;
    const auto rank = static_cast<long long>(p / 100 * static_cast<double>(count_ - 1)) + 1;
    long long seen = 0;
    for (std::size_t i = 0; i < buckets_.size(); ++i) {
        seen += buckets_[i];
        if (seen < rank)
            continue;
        if (i < 2048)
            return static_cast<double>(i) / 1000.0;
        const std::size_t shift = (i - 2048) / 1024 + 1;
        const std::uint64_t low = (((i - 2048) % 1024) + 1024) << shift;
        return static_cast<double>(low + (1ULL << shift) / 2) / 1000.0;
    }
    return MaxMs();
}

DeliveryLedger::DeliveryLedger(int bots, int rooms, long long lines)
    : bots_(bots), rooms_(rooms), lines_(lines), words_(static_cast<std::size_t>((lines + 63) / 64)),
      bits_(words_ * static_cast<std::size_t>(bots), 0), absent_(static_cast<std::size_t>(bots), 0),
      saidInRoom_(static_cast<std::size_t>(rooms), 0), saidBy_(static_cast<std::size_t>(bots), 0),
      heardBy_(static_cast<std::size_t>(bots), 0) {}

std::string DeliveryLedger::Text(long long k, long long sentNs, std::size_t size) {
    std::string text = "L " + std::to_string(k) + " " + std::to_string(sentNs) + " ";
    if (text.size() < size)
        text.append(size - text.size(), 'x');
    return text;
}

bool DeliveryLedger::Parse(std::string_view text, long long &k, long long &sentNs) {
    if (text.size() < 2 || text[0] != 'L' || text[1] != ' ')
        return false;
    const char *p = text.data() + 2, *end = text.data() + text.size();
    auto r = std::from_chars(p, end, k);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != ' ')
        return false;
    r = std::from_chars(r.ptr + 1, end, sentNs);
    return r.ec == std::errc();
}

void DeliveryLedger::Said(long long k) {
    const int speaker = static_cast<int>(k % bots_);
    ++said_;
    ++saidBy_[static_cast<std::size_t>(speaker)];
    ++saidInRoom_[static_cast<std::size_t>(speaker % rooms_)];
}

bool DeliveryLedger::Has(int listener, long long k) const {
    const std::size_t word = static_cast<std::size_t>(listener) * words_ + static_cast<std::size_t>(k / 64);
    return (bits_[word] >> (k % 64)) & 1;
}

void DeliveryLedger::Heard(int listener, long long k) {
    const int speaker = k >= 0 && k < lines_ ? static_cast<int>(k % bots_) : -1;
    if (speaker < 0 || speaker == listener || speaker % rooms_ != listener % rooms_) {
        ++unexpected_;
        return;
    }
    if (Has(listener, k)) {
        ++duplicated_;
        return;
    }
    bits_[static_cast<std::size_t>(listener) * words_ + static_cast<std::size_t>(k / 64)] |= 1ULL << (k % 64);
    ++heard_;
    ++heardBy_[static_cast<std::size_t>(listener)];
    // The same speaker's later lines are k + bots, k + 2 bots, ...: heard before this one means out of order.
    for (long long later = k + bots_; later < lines_; later += bots_)
        if (Has(listener, later)) {
            ++reordered_;
            break;
        }
}

long long DeliveryLedger::Expected() const {
    long long total = 0;
    for (int b = 0; b < bots_; ++b)
        if (!absent_[static_cast<std::size_t>(b)])
            total += saidInRoom_[static_cast<std::size_t>(b % rooms_)] - saidBy_[static_cast<std::size_t>(b)];
    return total;
}

long long DeliveryLedger::Lost() const {
    long long lost = 0;
    for (int b = 0; b < bots_; ++b)
        if (!absent_[static_cast<std::size_t>(b)])
            lost += std::max(0LL, saidInRoom_[static_cast<std::size_t>(b % rooms_)] -
                                      saidBy_[static_cast<std::size_t>(b)] - heardBy_[static_cast<std::size_t>(b)]);
    return lost;
}
