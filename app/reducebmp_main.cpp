// reducebmp [OPTION]... IN OUT: the viewer's load and reduction pass, with
// the same lines on standard output, writing the reduced image as an 8-bit
// indexed BMP or an indexed PNG, as OUT's extension says, instead of showing
// it. For scripts and machines without a display.
#include "command_line.h"
#include "ending_signals.h"
#include "failure_report.h"
#include "load_failure.h"
#include "load_image.h"
#include "output_file.h"
#include "output_format.h"
#include "picture_copy.h"
#include "reduce_image.h"
#include "progress_line.h"
#include "quality.h"
#include "run_watch.h"
#include "system_file.h"
#include "text_sink.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

namespace {

class DiscardSink final : public TextSink {
public:
    void write(std::string_view) override {}
};

// The reduced image in OUT's format.
bool writeReduced(OutputFormat format, const dib24& image, const Palette& palette, const ChosenEntries& chosen,
                  OutputFile& output) {
    return writeReducedImage(
        format, image.view(), palette, image.bmi.bmiHeader.biXPelsPerMeter,
        [&](const std::uint8_t* data, std::size_t size) { return output.write(data, size); }, chosen.data());
}

std::optional<FileIdentity> identityOf(const std::string& path, std::FILE* standardStream) {
    return path == "-" ? identifyStream(standardStream) : identifyFile(path);
}

class Conversion {
public:
    Conversion(const CommandLine& line, OutputFormat format)
        : line_(line), input_(line.paths[0]), output_(line.paths[1]), format_(format) {}

    int run();

    // Before the run's last words on standard error.
    void stopProgress() {
        if (progress_) progress_->stop();
    }

private:
    bool wouldReplaceInput() const;
    std::FILE* statisticsStream() const;
    int fail(const std::string& message) {
        stopProgress();
        std::fflush(stdout);
        std::fprintf(stderr, "reducebmp: %s\n", message.c_str());
        return 1;
    }
    // A line on standard error that keeps clear of the progress line.
    void note(const std::string& text) {
        if (progress_) progress_->writeAbove(stderr, text);
        else std::fputs(text.c_str(), stderr);
    }

    const CommandLine& line_;
    const std::string& input_;
    const std::string& output_;
    const OutputFormat format_;
    std::optional<ProgressLine> progress_;
    RunWatch watch_;
};

// Files, not names, are compared: "./photo.bmp", a link, a hard link or, on
// Windows, another case all name the input. Only a regular file can be
// replaced; a pipe or a device at both ends is read and written in place.
bool Conversion::wouldReplaceInput() const {
    const std::optional<FileIdentity> in = identityOf(input_, stdin);
    if (!in || !in->regular) return false;
    const std::optional<FileIdentity> out = identityOf(output_, stdout);
    return out && *out == *in;
}

// Standard output holds only the picture when the picture goes there, by
// "-" or by a name of the same file (/dev/stdout).
std::FILE* Conversion::statisticsStream() const {
    if (output_ == "-") return stderr;
    const std::optional<FileIdentity> out = identifyFile(output_);
    const std::optional<FileIdentity> standardOutput = identifyStream(stdout);
    return out && standardOutput && *out == *standardOutput ? stderr : stdout;
}

int Conversion::run() {
    // Before anything is read or written.
    if (wouldReplaceInput()) {
        return fail((input_ == "-" ? "standard input" : input_) + ": the output would replace the input");
    }
    std::FILE* const statistics = statisticsStream();
    if (!line_.quiet && isTerminal(stderr)) {
        progress_.emplace("reducebmp", stderr);
        watch_.showOn(&*progress_);
    }

    dib24 image;
    LoadStatus loadStatus;
    watch_.begin(RunPhase::read);
    const bool loaded = loadImage(image, input_.c_str(), loadStatus);
    watch_.pause();
    if (!loaded) {
        stopProgress();
        if (!line_.quiet) std::fprintf(statistics, "Cannot load input file : %s\n", input_.c_str());
        reportLoadFailure("reducebmp", input_.c_str(), loadStatus);
        return 1;
    }
    std::fflush(stdout);
    note(loadNotes("reducebmp", input_.c_str(), loadStatus));
    // Opened before the pass so that an unwritable destination costs no work.
    OutputFile output(output_);
    if (!output.open()) return fail(output.error());

    PictureCopy original;
    const bool measured = line_.verbose && original.take(image.view());
    if (line_.verbose && !measured) note("reducebmp: not enough memory for the quality figures\n");

    FileSink plain(statistics);
    DiscardSink discard;
    std::optional<AroundProgressSink> around;
    if (progress_ && isTerminal(statistics)) around.emplace(*progress_, statistics);
    TextSink& out = line_.quiet ? static_cast<TextSink&>(discard) : around ? static_cast<TextSink&>(*around) : plain;
    ChosenEntries chosen;
    const Palette palette = reduceImage(image.view(), out, chosen, &watch_);
    watch_.pause();
    std::fflush(statistics);

    watch_.begin(RunPhase::write);
    const bool written = writeReduced(format_, image, palette, chosen, output) && output.commit();
    watch_.pause();
    if (!written) return fail(output.error().empty() ? "cannot write " + output_ : output.error());
    stopProgress();
    // The statistics are part of the result: a script must learn that they were lost.
    if (std::fflush(statistics) != 0 || std::ferror(statistics)) {
        return fail(std::string("cannot write the statistics to ") +
                    (statistics == stdout ? "standard output" : "standard error"));
    }
    if (line_.verbose) {
        std::string report = "input: " + describeLoaded(loadStatus, image) + "\n" + watch_.timesLine();
        if (measured) report += formatQuality(measureQuality(original.view(), image.view(), palette));
        std::fputs(report.c_str(), stderr);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (const std::optional<int> done = parseCommandLine(kReducebmpSynopsis, argc, argv, line)) return *done;
    // A wrong name is a wrong argument, found before the files are looked at
    // (before the output is compared with the input, too).
    const std::optional<OutputFormat> format = outputFormatOf(line.paths[1]);
    if (!format) return refuseCommandLine(kReducebmpSynopsis, unknownOutputFormatMessage(line.paths[1]));
    handleEndingSignals();
    // A picture the reader accepts can still need more memory than the
    // machine has (the pass keeps two rows of doubles as wide as the image).
    // Caught here so that the output's temporary file is removed on the way
    // out and the failure is reported like the others.
    Conversion conversion(line, *format);
    try {
        return conversion.run();
    } catch (...) {
        conversion.stopProgress();
        reportFailure("reducebmp", line.paths[0].c_str(), std::current_exception());
        return 1;
    }
}
