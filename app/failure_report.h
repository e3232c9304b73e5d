// The one line on standard error for a failure that ends a program's run
// with exit code 1, such as memory running short during the pass:
//   "PROGRAM: not enough memory to reduce INPUT"
//   "PROGRAM: cannot reduce INPUT: WHAT"  (any other failure)
// Standard output is flushed first, so that the statistics already printed
// come out before it.
#pragma once

#include <exception>

void reportFailure(const char* program, const char* input, const std::exception_ptr& failure);
