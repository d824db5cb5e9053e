// Processes that save a file in a loop, for the tests of saves that die or
// race: a saver killed with SIGKILL at random moments, and two savers racing
// while the test reads. A save is any callable `bool save(int i)` that writes
// version i % 2 and says whether it succeeded; each saver is a forked child,
// so it shares nothing with the test but the file system.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

namespace gearloft::testing {

// Forks a child that calls save(i) for i = first, first + 1, ...: count
// times, or with count < 0 until it is killed. The child exits 1 as soon as
// a save fails and 0 after the last; it returns to no caller.
template <typename Save>
pid_t ForkSaver(const Save& save, int first, int count) {
    const pid_t child = fork();
    if (child == 0) {
        for (int i = 0; count < 0 || i < count; ++i) {
            if (!save(first + i)) {
                _exit(1);
            }
        }
        _exit(0);
    }
    return child;
}

// Waits for the child; true when it ran to its end and exited with 0.
inline bool EndsCleanly(pid_t child) {
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// How long one save takes, from four in a child process, so that kill delays
// can be spread over every step of a save; never less than 200 µs. Zero
// when those saves failed.
template <typename Save>
std::chrono::microseconds TimeOfOneSave(const Save& save) {
    const auto start = std::chrono::steady_clock::now();
    if (!EndsCleanly(ForkSaver(save, 0, 4))) {
        return std::chrono::microseconds(0);
    }
    const auto four = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    return std::max(std::chrono::microseconds(200), four / 4);
}

// Runs `rounds` savers one after the other, each starting from the other
// version and saving until it is killed with SIGKILL after a random delay of
// up to `longest`; once each is gone, calls afterKill(round), whose gtest
// assertions judge what the kill left. Stops at the first fatal failure.
// Returns how many savers the signal ended, rather than a failed save.
template <typename Save, typename AfterKill>
int KillSaversAtRandom(const Save& save, int rounds, std::chrono::microseconds longest,
                       unsigned seed, const AfterKill& afterKill) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, longest.count());
    int kills = 0;
    for (int round = 0; round < rounds; ++round) {
        const pid_t child = ForkSaver(save, round % 2, -1);
        if (child < 0) {
            ADD_FAILURE() << "fork failed in round " << round;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        if (waitpid(child, &status, 0) != child) {
            ADD_FAILURE() << "lost the saver of round " << round;
            break;
        }
        kills += WIFSIGNALED(status) ? 1 : 0;
        afterKill(round);
        if (::testing::Test::HasFatalFailure()) {
            break;
        }
    }
    return kills;
}

// Starts two savers of `count` saves each, from opposite versions, and calls
// read(n) with n = 0, 1, ... until both have ended; read's gtest assertions
// judge what it saw. A saver that fails a save fails the test. At the first
// fatal failure the savers are killed. Returns how many reads were made.
template <typename Save, typename Read>
int ReadWhileTwoSave(const Save& save, int count, const Read& read) {
    pid_t savers[2] = {ForkSaver(save, 0, count), ForkSaver(save, 1, count)};
    int reads = 0;
    int running = 0;
    for (pid_t saver : savers) {
        EXPECT_GT(saver, 0) << "fork failed";
        running += saver > 0 ? 1 : 0;
    }
    while (running > 0 && !::testing::Test::HasFatalFailure()) {
        read(reads++);
        for (pid_t& saver : savers) {
            int status = 0;
            if (saver > 0 && waitpid(saver, &status, WNOHANG) == saver) {
                // For instance because the other saver's cleaning took its
                // temporary file.
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                    << "a saver failed after " << reads << " reads";
                saver = 0;
                --running;
            }
        }
    }
    for (pid_t saver : savers) {
        if (saver > 0) {
            kill(saver, SIGKILL);
            waitpid(saver, nullptr, 0);
        }
    }
    return reads;
}

}  // namespace gearloft::testing
