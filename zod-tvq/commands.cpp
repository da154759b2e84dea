#include "zod-tvq/commands.h"

#include "zod-tvq/cli_rules.h"
#include "zod-tvq/convert.h"
#include "zod-tvq/encode.h"
#include "zod-tvq/messages.h"
#include "zod-tvq/safe_output.h"
#include "zod-tvq/standard_streams.h"
#include "zod-tvq/tvq_input.h"
#include "zod-tvq/verdict.h"
#include "zod-tvq/utf8_path.h"
#include "formats/core/tvq_levels.h"
#include "settings/stored_factor.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zod::cli {

namespace {

int UsageError(const std::string& message) {
    fprintf(stderr, "zod-tvq: %s\n", Printable(message).c_str());
    return kUsageError;
}

void Report(Progress& progress, const std::string& file, const std::string& reason) {
    progress.Clear();
    fprintf(stderr, "zod-tvq: %s: %s\n", Printable(InputName(file)).c_str(),
            Printable(reason).c_str());
}

// An existing folder, or a name that ends in a separator (/, and \ on Windows too), which
// is made as `mkdir -p` would.
bool OutputIsFolder(const std::string& output) {
    std::error_code ignored;
    return !output.empty() && output != "-" &&
           (fs::is_directory(PathOf(output), ignored) || !PathOf(output).has_filename());
}

// The checks convert and encode share: where "-" may stand, and what -o can name.
std::string StreamsAndOutputError(const Options& options) {
    for (const std::string& input : options.files)
        if (IsStandardStream(input) && options.files.size() > 1)
            return "- (standard input) must be the only input";
    std::error_code ignored;
    if (!options.output.empty() && !OutputIsFolder(options.output) && options.files.size() > 1)
        return "-o " + options.output +
               (fs::exists(PathOf(options.output), ignored) || !FormatOfName(options.output).empty()
                    ? ": not a folder, and there are several inputs"
                    : ": no such folder (a name that ends in / is made)");
    if (IsStandardStream(options.files[0]) &&
        (options.output.empty() || OutputIsFolder(options.output)))
        return "reading standard input needs -o FILE, or -o - for standard output";
    if (IsStandardStream(options.output) && StandardOutputIsTerminal())
        return "will not write image data to a terminal; redirect standard output or give -o "
               "FILE";
    return "";
}

using OneFile = std::function<bool(const std::string&, const std::string&, std::string*)>;

// One input's failure, whatever it is, is that input's alone: the batch goes on.
bool OneInput(const OneFile& one, const std::string& input, const std::string& output,
              std::string* reason) {
    try {
        return one(input, output, reason);
    } catch (const std::bad_alloc&) {
        *reason = "out of memory";
    } catch (const std::exception& error) {
        *reason = error.what();
    }
    return false;
}

// Runs `one` for each input with its output, refusing to write one output twice.
int EachInput(const Options& options, const std::function<std::string(const std::string&)>& beside,
              const OneFile& one, Progress& progress) {
    const bool intoFolder = OutputIsFolder(options.output);
    std::set<std::string> written;
    std::error_code error;
    if (intoFolder && !fs::is_directory(PathOf(options.output), error)) {
        fs::create_directories(PathOf(options.output), error);
        if (error) {
            fprintf(stderr, "zod-tvq: cannot make the folder %s: %s\n",
                    Printable(options.output).c_str(), error.message().c_str());
            return kFailedInput;
        }
    }
    std::error_code ignored;
    int failures = 0;
    int index = 0;
    for (const std::string& input : options.files) {
        std::string output = options.output;
        if (options.output.empty() || intoFolder) {
            output = beside(input);
            if (intoFolder)
                output = (PathOf(options.output) / PathOf(output).filename()).string();
        }
        progress.StartFile(++index, int(options.files.size()), InputName(input));
        std::string reason;
        const std::string key = fs::weakly_canonical(PathOf(output), ignored).string();
        // Two inputs with one output would have the second replace the first unseen.
        if (!IsStandardStream(output) && written.count(key))
            reason = output + " was written from an earlier input";
        else if (OneInput(one, input, output, &reason))
            written.insert(key);
        else if (reason.empty())
            reason = "failed";
        if (!reason.empty()) {
            Report(progress, input, reason);
            ++failures;
        }
    }
    progress.Clear();
    return failures ? kFailedInput : 0;
}

} // namespace

int RunConvert(const Options& options) {
    if (const std::string streams = StreamsAndOutputError(options); !streams.empty())
        return UsageError(streams);
    std::string format;
    const std::string problem = ChooseConvertFormat(options.format, options.output,
                                                    OutputIsFolder(options.output), &format);
    if (!problem.empty())
        return UsageError(problem);
    ConvertSettings settings{options.factor,  format == "png",   options.force,
                             !options.noSync, options.maxPixels, options.allowSparse};
    if (!options.factorGiven)
        settings.factor = SavedFactorOrDefault();
    if (options.factorGiven && !options.quiet && TvqLevelOfFactor(settings.factor) == 0)
        fprintf(stderr, "zod-tvq: note: factor %d is none of the viewer's Levels (%s)\n",
                int(settings.factor), LevelTable().c_str());

    Progress progress(!options.quiet && isatty(STDERR_FILENO));
    Converter converter(settings, progress);
    converter.ProtectInputs(IdentitiesOf(options.files));
    auto beside = [&](const std::string& input) { return OutputBeside(input, "", settings.png); };
    auto one = [&](const std::string& input, const std::string& output, std::string* reason) {
        std::string path = input;
        if (IsStandardStream(input) &&
            (path = StandardInputPath(TvqStreamByteLimit(options.maxPixels), reason)).empty())
            return false;
        if (!converter.Convert(path, output, reason))
            return false;
        // The format defines the rest of a short file's picture; still, say how much it is.
        if (const std::string note = ShortFileNote(converter.Facts());
            !note.empty() && !options.quiet) {
            progress.Clear();
            fprintf(stderr, "zod-tvq: note: %s %s\n", Printable(InputName(input)).c_str(),
                    note.c_str());
        }
        return true;
    };
    return EachInput(options, beside, one, progress);
}

int RunEncode(const Options& options) {
    if (options.factor < 1)
        return UsageError("--factor " + std::to_string(options.factor) +
                          ": encode needs a factor of at least 1");
    const std::string named = FormatOfName(options.output);
    if (!OutputIsFolder(options.output) && (named == "bmp" || named == "png"))
        return UsageError("-o " + options.output + " names a " + named +
                          " file, but encode writes TVQ");
    if (const std::string streams = StreamsAndOutputError(options); !streams.empty())
        return UsageError(streams);
    const EncodeSettings settings{options.factor, options.dither, options.force, !options.noSync,
                                  options.maxPixels};
    Progress progress(!options.quiet && isatty(STDERR_FILENO));
    auto beside = [](const std::string& input) {
        return PathOf(input).replace_extension(".tvq").string();
    };
    const std::vector<FileIdentity> inputs = IdentitiesOf(options.files);
    auto one = [&](const std::string& input, const std::string& output, std::string* reason) {
        return EncodePicture(input, output, settings, inputs, progress, reason);
    };
    return EachInput(options, beside, one, progress);
}

int RunInfo(const Options& options) {
    int failures = 0;
    std::string json;
    for (const std::string& input : options.files) {
        TvqFacts facts;
        std::string reason;
        std::string path = input;
        const bool read =
            (!IsStandardStream(input) ||
             !(path = StandardInputPath(TvqStreamByteLimit(options.maxPixels), &reason)).empty()) &&
            ReadTvqFacts(path, &facts, &reason);
        const std::string name = InputName(input);
        if (!read) {
            fprintf(stderr, "zod-tvq: %s: %s\n", Printable(name).c_str(), reason.c_str());
            ++failures;
            if (options.json)
                json += (json.empty() ? "  {" : ",\n  {") + JsonNameFields("file", name) +
                        ", \"error\": " + JsonString(reason) + "}";
            continue;
        }
        // The verdict in the words convert uses, and the same failure.
        const TvqVerdict verdict = VerdictOf(facts, options.maxPixels);
        const std::string refusal = VerdictMessage(verdict, facts, options.maxPixels);
        if (!refusal.empty()) {
            fprintf(stderr, "zod-tvq: %s: %s\n", Printable(name).c_str(), refusal.c_str());
            ++failures;
        }
        if (options.json) {
            std::string object = FactsAsJson(name, facts);
            object.pop_back(); // its closing brace: the verdict joins the facts
            json += (json.empty() ? "  " : ",\n  ") + object + ", \"verdict\": \"" +
                    TvqVerdictName(verdict) +
                    "\", \"refusal\": " + (refusal.empty() ? "null" : JsonString(refusal)) + "}";
        } else if (refusal.empty()) {
            printf("%s\n", DescribeFacts(name, facts).c_str());
        }
    }
    if (options.json)
        printf("[\n%s\n]\n", json.c_str());
    return failures ? kFailedInput : 0;
}

} // namespace zod::cli
