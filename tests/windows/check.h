// A small check harness for the Windows test programs, which run under Wine
// without GoogleTest: each failed check prints where and what, and the
// program's exit code is the number of failures.
#pragma once

#include <cstdio>
#include <string>

namespace tessera_win_test {

inline int g_failures = 0;
inline std::string g_context;

inline bool Check(bool ok, const char* what, const char* file, int line) {
    if (!ok) {
        ++g_failures;
        std::printf("%s:%d: FAILED %s%s%s\n", file, line, what, g_context.empty() ? "" : " -- ",
                    g_context.c_str());
    }
    return ok;
}

// Names the case that the following checks belong to.
struct Context {
    explicit Context(std::string text) : previous(g_context) { g_context = std::move(text); }
    ~Context() { g_context = previous; }
    std::string previous;
};

inline int Finish(const char* program) {
    std::printf("%s: %s (%d failed checks)\n", program, g_failures == 0 ? "passed" : "FAILED",
                g_failures);
    std::fflush(stdout);
    return g_failures == 0 ? 0 : 1;
}

}  // namespace tessera_win_test

#define CHECK(condition) ::tessera_win_test::Check((condition), #condition, __FILE__, __LINE__)
