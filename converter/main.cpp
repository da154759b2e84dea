// zod-tvq: TVQ images to BMP or PNG at full size, and what their headers say.
#include "converter/convert.h"
#include "converter/messages.h"
#include "converter/safe_output.h"
#include "converter/tvq_input.h"
#include "settings/stored_factor.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace zod::tvq;

namespace {

constexpr int kFailedInput = 1;
constexpr int kUsageError = 2;
constexpr int32_t kFallbackFactor = 3; // as the viewer, when no factor is saved

struct Options {
    std::vector<std::string> files;
    int32_t factor = 0;
    std::string format = "bmp";
    std::string output;
    bool force = false;
    bool noSync = false;
    uint64_t maxPixels = uint64_t(1) << 28;
    bool json = false;
};

void Report(Progress& progress, const std::string& file, const std::string& reason) {
    progress.Clear();
    fprintf(stderr, "zod-tvq: %s: %s\n", Printable(file).c_str(), Printable(reason).c_str());
}

int RunConvert(const Options& options, const CLI::App& command) {
    ConvertSettings settings{options.factor, options.format == "png", options.force,
                             !options.noSync, options.maxPixels};
    if (command.count("--factor") == 0 && !LoadStoredFactor(&settings.factor))
        settings.factor = kFallbackFactor;

    // -o names a folder when it is one, or ends like one; otherwise the one output file.
    std::error_code ignored;
    const bool intoFolder = !options.output.empty() && (fs::is_directory(options.output, ignored) ||
                                                        options.output.back() == '/');
    if (!options.output.empty() && !intoFolder && options.files.size() > 1) {
        fprintf(stderr, "zod-tvq: -o %s: not a folder, and there are several inputs\n",
                Printable(options.output).c_str());
        return kUsageError;
    }

    Progress progress(isatty(STDERR_FILENO));
    Converter converter(settings, progress);
    converter.ProtectInputs(IdentitiesOf(options.files));
    std::set<std::string> written;
    int failures = 0;
    int index = 0;
    for (const std::string& input : options.files) {
        const std::string output =
            !options.output.empty() && !intoFolder
                ? options.output
                : OutputBeside(input, intoFolder ? options.output : "", settings.png);
        progress.StartFile(++index, int(options.files.size()), input);
        std::string reason;
        // Two inputs with one output would have the second replace the first unseen.
        if (written.count(fs::weakly_canonical(output, ignored).string()))
            reason = output + " was written from an earlier input";
        else if (converter.Convert(input, output, &reason))
            written.insert(fs::weakly_canonical(output, ignored).string());
        if (!reason.empty()) {
            Report(progress, input, reason);
            ++failures;
        }
    }
    progress.Clear();
    return failures ? kFailedInput : 0;
}

int RunInfo(const Options& options) {
    int failures = 0;
    std::string json;
    for (const std::string& input : options.files) {
        TvqFacts facts;
        std::string reason;
        if (!ReadTvqFacts(input, &facts, &reason)) {
            fprintf(stderr, "zod-tvq: %s: %s\n", Printable(input).c_str(), reason.c_str());
            ++failures;
            if (options.json)
                json += (json.empty() ? "  {" : ",\n  {") + JsonNameFields("file", input) +
                        ", \"error\": " + JsonString(reason) + "}";
        } else if (options.json) {
            json += (json.empty() ? "  " : ",\n  ") + FactsAsJson(input, facts);
        } else {
            printf("%s\n", DescribeFacts(input, facts).c_str());
        }
    }
    if (options.json)
        printf("[\n%s\n]\n", json.c_str());
    return failures ? kFailedInput : 0;
}

} // namespace

int main(int argc, char** argv) {
    InstallOutputSignalHandlers();
    CheckStandardOutputAtExit();
    Options options;
    CLI::App app("Converts TVQ images to BMP or PNG at full size.", "zod-tvq");
    app.set_version_flag("--version", "zod-tvq " ZOD_VERSION);
    app.require_subcommand(1);
    app.footer("Examples:\n"
               "  zod-tvq convert photo.tvq               writes photo.bmp beside it\n"
               "  zod-tvq convert --to png -o out/ *.tvq  writes out/NAME.png for each\n"
               "  zod-tvq info --json *.tvq\n"
               "\nExit status: 0 all converted, 1 some input failed, 2 usage error.\n");

    CLI::App* convert = app.add_subcommand("convert", "Convert TVQ files to BMP or PNG");
    convert->add_option("--factor", options.factor,
                        "Colour amplification (default: the viewer's saved factor, else 3)");
    convert->add_option("--to", options.format, "Output format")
        ->check(CLI::IsMember({"bmp", "png"}))
        ->capture_default_str();
    convert->add_option("-o,--output", options.output,
                        "Output folder, or with one input the output file");
    convert->add_flag("--force", options.force, "Replace existing output files");
    convert->add_flag("--no-sync", options.noSync,
                      "Do not wait for outputs to reach the disk (faster; a power cut may "
                      "lose them)");
    convert->add_option("--max-pixels", options.maxPixels, "Refuse larger images")
        ->capture_default_str();
    convert->add_option("FILE", options.files, "TVQ files")->required();

    CLI::App* info = app.add_subcommand("info", "Show size and truncation of TVQ files");
    info->add_flag("--json", options.json, "Print a JSON array");
    info->add_option("FILE", options.files, "TVQ files")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kUsageError;
    }
    try {
        return convert->parsed() ? RunConvert(options, *convert) : RunInfo(options);
    } catch (const std::exception& error) { // out of memory, in effect
        fprintf(stderr, "zod-tvq: %s\n", error.what());
        return kFailedInput;
    }
}
