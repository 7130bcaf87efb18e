#pragma once

// What a run learns from the lines it hears: latencies in a histogram fine enough for p99.9, and per listener which
// lines arrived, to count the lost, the reordered and the duplicated.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LatencyHistogram {
public:
    void Add(long long ns);
    long long Count() const { return count_; }
    // Milliseconds at which p percent of the samples lie at or below.
    double PercentileMs(double p) const;
    double MaxMs() const { return static_cast<double>(max_) / 1000.0; }

private:
    // Microseconds: exact below 2,048, then 1,024 steps per power of two (under 0.1 % apart).
    std::vector<long long> buckets_ = std::vector<long long>(2048 + 1024 * 24, 0);
    long long count_ = 0;
    long long max_ = 0;
};

// Line k of a run is the k-th of the whole schedule and is said by bot k mod bots; its text is "L k sentNs" and
// padding. Bot b is in room b mod rooms and hears the lines of the others in its room.
class DeliveryLedger {
public:
    DeliveryLedger(int bots, int rooms, long long lines);

    static std::string Text(long long k, long long sentNs, std::size_t size);
    // Reads a heard text; false when it is not one of ours.
    static bool Parse(std::string_view text, long long &k, long long &sentNs);

    void Said(long long k);
    // A listener that never got in or was put out: what it missed is not counted as lost.
    void Absent(int listener) { absent_[static_cast<std::size_t>(listener)] = 1; }
    // Records that `listener` heard line k: its own, another room's or a second copy counts against the server.
    void Heard(int listener, long long k);

    long long SaidCount() const { return said_; }
    long long Heard() const { return heard_; }
    // Deliveries due for the lines said so far, all listeners together.
    long long Expected() const;
    long long Lost() const;
    long long Reordered() const { return reordered_; }
    long long Duplicated() const { return duplicated_; }
    long long Unexpected() const { return unexpected_; }

private:
    bool Has(int listener, long long k) const;

    int bots_, rooms_;
    long long lines_;
    std::size_t words_; // per listener
    std::vector<std::uint64_t> bits_;
    std::vector<char> absent_;
    std::vector<long long> saidInRoom_, saidBy_, heardBy_;
    long long said_ = 0, heard_ = 0, reordered_ = 0, duplicated_ = 0, unexpected_ = 0;
};
