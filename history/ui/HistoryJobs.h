#pragma once

// Runs the history windows' queries on a thread of their own, over a reader connection of their own, so that a
// search in a store of millions of lines never freezes a window and works while the program records.

#include "history/HistoryReader.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class HistoryJobs {
public:
    // reader is open unless openError says why it is not (no history yet, say); a later job tries again.
    using Job = std::function<void(HistoryReader &reader, const std::string &openError)>;

    explicit HistoryJobs(std::string folder);
    ~HistoryJobs(); // lets the running job end and drops those not started
    HistoryJobs(const HistoryJobs &) = delete;
    HistoryJobs &operator=(const HistoryJobs &) = delete;

    void Post(Job job);
    // True once the owner is going: a long job (an export) ends early instead of holding up its window's closing.
    bool Stopping() const { return stopping_.load(); }
    const std::string &Folder() const { return folder_; }

private:
    void Run();

    std::string folder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stop_ = false;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
