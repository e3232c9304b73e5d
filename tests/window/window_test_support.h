// Shared by the window framework's tests: an off-screen display reset for
// every test, recorded calls filtered to what a test is about, and standard
// output captured while the viewer's reduction pass prints.
#pragma once

#include "platform_test_hooks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace windowtest {

using platform::RecordedCall;

class OffscreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test::reset();
        ASSERT_TRUE(platform::test::useOffscreenDisplay(false));
    }
    void TearDown() override { platform::test::reset(); }
};

// The calls named `name`, in order.
inline std::vector<RecordedCall> callsNamed(const std::vector<RecordedCall>& calls, const std::string& name) {
    std::vector<RecordedCall> out;
    for (const RecordedCall& c : calls)
        if (c.name == name) out.push_back(c);
    return out;
}

inline std::size_t indexOf(const std::vector<RecordedCall>& calls, const std::string& name, std::uintptr_t a = ~0u) {
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].name == name && (a == ~0u || calls[i].a == a)) return i;
    return calls.size();
}

// Collects what is written to standard output (file descriptor 1).
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        saved_ = dup(1);
        file_ = std::tmpfile();
        dup2(fileno(file_), 1);
    }
    std::string finish() {
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        std::string text;
        std::rewind(file_);
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
        std::fclose(file_);
        return text;
    }

private:
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

}  // namespace windowtest
