// What the converter's tests share: the converter run in a folder of its
// own, and the lines and pixels the pass gives for a file in this process.
#pragma once

#include "bmp_builder.h"
#include "child_process.h"
#include "dib24.h"
#include "pictures.h"
#include "process.h"
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
struct Expected {
    std::string report;
    Picture reduced;
    Palette palette;
};

inline Expected reduceInProcess(const Bytes& file) {
    dib24 image;
    image.create(1, 1, 0);
    testsupport::FilePtr stream = testsupport::openBytes(file);
    EXPECT_TRUE(image.readBmp(stream.get()));
    StringSink out;
    const Palette palette = reduceImage(image.view(), out);
    return {out.text(), testsupport::pictureOf(image.view()), palette};
}

inline Picture loadPicture(const std::string& filePath) {
    dib24 image;
    image.create(1, 1, 0);
    testsupport::FilePtr stream = testsupport::openBytes(testsupport::readFile(filePath));
    EXPECT_TRUE(image.readBmp(stream.get()));
    return testsupport::pictureOf(image.view());
}

}  // namespace converter
