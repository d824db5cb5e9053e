// A deadline for a step that must not block: when the step has not ended in
// time, the test program says which step hung and ends with a failure, so
// that a regression fails at once instead of holding ctest until its own
// timeout.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace gearloft::testing {

class HangGuard {
public:
    explicit HangGuard(std::string step, std::chrono::seconds limit = std::chrono::seconds(30))
        : m_step(std::move(step)), m_watch([this, limit] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                  std::fprintf(stderr, "HangGuard: '%s' did not end within %lld s\n",
                               m_step.c_str(), static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::_Exit(EXIT_FAILURE);
              }
          }) {}
    ~HangGuard() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_watch.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::string m_step;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_watch;  // last: starts once the rest is ready
};

}  // namespace gearloft::testing
