#include "failure_report.h"

#include <cstdio>
#include <new>

void reportFailure(const char* program, const char* input, const std::exception_ptr& failure) {
    std::fflush(stdout);
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: not enough memory to reduce %s\n", program, input);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: cannot reduce %s: %s\n", program, input, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: cannot reduce %s\n", program, input);
    }
}
