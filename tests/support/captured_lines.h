// Collects every diagnostic line the library sends while it lives, so a test
// can assert the exact lines of an operation.
#pragma once

#include <string>
#include <vector>

#include "chunkfile/diagnostics.h"

namespace tessera_test {

class CapturedLines {
public:
    CapturedLines() { previous_ = tessera::SetDiagnosticHook(&Collect, this); }
    ~CapturedLines() { tessera::SetDiagnosticHook(previous_, nullptr); }
    CapturedLines(const CapturedLines&) = delete;
    CapturedLines& operator=(const CapturedLines&) = delete;

    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    static void Collect(const char* message, void* context) {
        static_cast<CapturedLines*>(context)->lines_.emplace_back(message);
    }
    tessera::DiagnosticHook previous_ = nullptr;
    std::vector<std::string> lines_;
};

}  // namespace tessera_test
