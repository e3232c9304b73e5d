// What the converter's tests share: the converter run in a folder of its
// own, and the lines and pixels the pass gives for a file in this process.
#pragma once

#include "bmp_builder.h"
#include "child_process.h"
#include "decoded_picture.h"
#include "pictures.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace converter {

using testsupport::Bytes;
using testsupport::Exit;
using testsupport::Picture;

class Reducebmp : public ::testing::Test {
protected:
    // The converter with these arguments; it is killed after a minute.
    Exit run(std::vector<std::string> arguments) { return run(command(std::move(arguments))); }
    Exit run(const testsupport::Command& command) {
        const Exit done = testsupport::run(command);
        EXPECT_EQ(done.signal, 0) << "ended by a signal: " << done.err;
        return done;
    }
    // The converter's command, to give its streams or folder before the run.
    static testsupport::Command command(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), REDUCEBMP_PATH);
        return testsupport::Command(std::move(arguments));
    }

    std::string path(const std::string& name) const { return dir.file(name); }

    testsupport::TempDir dir;
};

// What the pass prints and leaves for a file, computed in this process.
using Expected = testsupport::ExpectedReduction;

inline Picture loadPicture(const Bytes& file) {
    Picture picture;
    EXPECT_TRUE(testsupport::decodeBmpFile(file, picture));
    return picture;
}

inline Expected reduceInProcess(const Bytes& file) { return testsupport::expectedReduction(loadPicture(file)); }

inline Picture loadPicture(const std::string& filePath) { return loadPicture(testsupport::readFile(filePath)); }

}  // namespace converter
