#include "history/ui/HistoryJobs.h"

HistoryJobs::HistoryJobs(std::string folder) : folder_(std::move(folder)), thread_([this] { Run(); }) {}

HistoryJobs::~HistoryJobs() {
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_one();
    thread_.join();
}

void HistoryJobs::Post(Job job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void HistoryJobs::Run() {
    HistoryReader reader;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        std::string error;
        if (!reader.IsOpen())
            reader.Open(folder_, false, error);
        job(reader, error);
    }
}
