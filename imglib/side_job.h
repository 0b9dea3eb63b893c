// A job on a second thread beside the caller's own work, for fwimg and the CRC routines.
#pragma once

#include <exception>
#include <thread>
#include <utility>

namespace imglib {

// Runs `job` on a second thread while the caller goes on; wait() returns once it has run. Where
// no thread can be had, the job runs in wait() instead.
template <class Job>
class side_job {
public:
    explicit side_job(Job job) : job_(std::move(job))
    {
        try {
            thread_ = std::thread([this] { job_(); });
        } catch (const std::exception&) {
            // no second thread: wait() runs the job
        }
    }
    side_job(const side_job&) = delete;
    side_job& operator=(const side_job&) = delete;
    ~side_job() { wait(); }

    void wait()
    {
        if (thread_.joinable())
            thread_.join();
        else if (!done_)
            job_();
        done_ = true;
    }

private:
    Job job_;
    std::thread thread_;
    bool done_ = false;
};

}  // namespace imglib
