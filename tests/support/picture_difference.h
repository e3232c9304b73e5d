// What tells two pictures apart, for the tests that compare what a program
// shows or writes with what it should: one message, whoever compares.
#pragma once

#include "bmp_builder.h"

#include <string>

namespace testsupport {

// "" when the pictures are equal. Else their sizes when these differ, or how
// many pixels differ and the first of them in picture order (top row first,
// left to right):
//   "size 9x4, expected 8x4"
//   "3 pixels differ; first difference at (2, 0): shown #ff0000, expected #fe0000"
std::string pictureDifference(const Picture& shown, const Picture& expected);

}  // namespace testsupport
