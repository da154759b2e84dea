// zod-tvq: TVQ images to BMP or PNG at full size, pictures to TVQ, and what TVQ headers say.
#include "zod-tvq/cli_rules.h"
#include "zod-tvq/commands.h"
#include "zod-tvq/messages.h"
#include "zod-tvq/safe_output.h"
#include "formats/core/tvq_levels.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace zod::cli;

namespace {

const std::vector<std::string> kCommands = {"convert", "encode", "info", "help"};

// A whole number in decimal within [min, max]; CLI11 alone would take 0x10 and 010 too.
CLI::Validator Decimal(int64_t min, uint64_t max) {
    return CLI::Validator([min, max](std::string& text) { return DecimalProblem(&text, min, max); },
                          ""); // no description: the type says INT
}

// --factor and --level, the one in place of the other.
void AddFactorOptions(CLI::App* command, Options& options, int* level,
                      const std::string& factorHelp) {
    CLI::Option* factor =
        command
            ->add_option("--factor", options.factor,
                         factorHelp + "; a whole number in decimal, as the settings file holds it")
            ->transform(Decimal(INT32_MIN, INT32_MAX));
    command->add_option("--level", *level, "The viewer's Level: " + LevelTable())
        ->transform(Decimal(1, kTvqLevelCount))
        ->excludes(factor);
}

void AddOutputOptions(CLI::App* command, Options& options, const char* what) {
    command->add_option("-o,--output", options.output,
                        std::string("Output folder (made when the name ends in /), or with one "
                                    "input the output file; - writes ") +
                            what + " to standard output (not atomic: a failure leaves part of it)");
    command->add_flag("--force", options.force, "Replace existing output files");
    command->add_flag("--no-sync", options.noSync,
                      "Do not wait for outputs to reach the disk (faster; a power cut may "
                      "lose them)");
    command->add_flag("-q,--quiet", options.quiet, "No progress line and no notes");
}

void AddLimitOption(CLI::App* command, Options& options, const char* what) {
    command
        ->add_option("--max-pixels", options.maxPixels,
                     std::string("Refuse ") + what + " of more pixels (width x height)")
        ->transform(Decimal(1, UINT64_MAX))
        ->capture_default_str();
}

int UsageError(const std::string& message, const std::string& command) {
    fprintf(stderr, "zod-tvq: %s (zod-tvq %s%s--help tells more)\n", Printable(message).c_str(),
            command.c_str(), command.empty() ? "" : " ");
    return kUsageError;
}

// A misspelt command is named as such, not taken for a missing one.
bool UnknownCommand(const char* typed) {
    if (std::find(kCommands.begin(), kCommands.end(), typed) != kCommands.end())
        return false;
    const std::string nearest = NearestName(typed, kCommands);
    fprintf(stderr, "zod-tvq: unknown command '%s'; %s\n", Printable(typed).c_str(),
            nearest.empty() ? "the commands are convert, encode, info and help"
                            : ("did you mean " + nearest + "?").c_str());
    return true;
}

// What was left unparsed: an unknown option, with the nearest known one.
std::string ExtrasProblem(const CLI::App& command, const std::vector<std::string>& extras) {
    const std::string typed = extras.front().substr(0, extras.front().find('='));
    std::vector<std::string> known;
    for (const CLI::Option* option : command.get_options([](const CLI::Option* o) {
             return !o->get_lnames().empty() || !o->get_snames().empty();
         })) {
        for (const std::string& name : option->get_lnames())
            known.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            known.push_back("-" + name);
    }
    const std::string nearest = NearestName(typed, known);
    return typed + ": unknown option" + (nearest.empty() ? "" : "; did you mean " + nearest + "?");
}

} // namespace

int zod::cli::RunZodTvq(int argc, char** argv) {
    InstallOutputSignalHandlers();
    CheckStandardOutputAtExit();
    Options options;
    int level = 0;
    CLI::App app("Converts TVQ images to BMP or PNG at full size, and pictures to TVQ.", "zod-tvq");
    // The same options on every system: CLI11 would read /name as an option on Windows,
    // where it is a path.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", "zod-tvq " ZOD_VERSION);
    app.set_help_all_flag("--help-all", "Print this help and every command's");
    app.require_subcommand(1);
    std::string levels = "  Level  ", factors = "  factor ";
    for (int l = 1; l <= kTvqLevelCount; ++l) {
        levels += "  " + std::to_string(l);
        factors += "  " + std::to_string(TvqLevelFactor(l));
    }
    app.footer("The viewer's Levels and the factors they amplify by (each channel is shown\n"
               "times the factor, clamped to 255):\n" +
               levels + "\n" + factors +
               "\n\nExamples:\n"
               "  zod-tvq convert photo.tvq               writes photo.bmp beside it\n"
               "  zod-tvq convert -o photo.png photo.tvq  the format follows the name\n"
               "  zod-tvq convert --to png -o out/ *.tvq  writes out/NAME.png for each\n"
               "  zod-tvq encode --dither picture.jpg     writes picture.tvq at Level 5\n"
               "  cat photo.png | zod-tvq encode -o - - | ssh host 'cat >photo.tvq'\n"
               "  zod-tvq info --json *.tvq\n"
               "\nzod-tvq help COMMAND tells more of each command.\n"
               "Exit status: 0 all done, 1 some input failed, 2 usage error.\n");

    // Unknown options are left for ExtrasProblem, which suggests a known one.
    app.allow_extras();
    CLI::App* convert = app.add_subcommand("convert", "Convert TVQ files to BMP or PNG");
    AddFactorOptions(convert, options, &level,
                     "Colour amplification (default: the viewer's saved factor, else 3)");
    convert
        ->add_option("--to", options.format, "Output format (default: from the -o name, else bmp)")
        ->check(CLI::IsMember({"bmp", "png"}));
    AddOutputOptions(convert, options, "the picture");
    convert->add_flag("--allow-sparse", options.allowSparse,
                      "Convert a file that holds less than one pixel in 64 of a large image "
                      "(usually a file that is not TVQ at all)");
    AddLimitOption(convert, options, "TVQ files");
    convert->add_option("FILE", options.files, "TVQ files; - reads standard input")->required();

    CLI::App* encode = app.add_subcommand(
        "encode", "Encode pictures (PNG, JPEG, BMP, GIF, TIFF, any other format gdk-pixbuf reads "
                  "but SVG, XPM and XBM) as TVQ");
    options.factor = 8;
    AddFactorOptions(encode, options, &level,
                     "Colour amplification the file is made for (default 8, Level 5: the "
                     "only one whose five bits span 0..255); each channel becomes "
                     "round(c / factor), at most 31; any whole number from 1 (above 510 every "
                     "channel is 0)");
    encode->add_flag("--dither", options.dither,
                     "Floyd-Steinberg error diffusion, for smooth gradients (without it each "
                     "pixel is encoded on its own)");
    AddOutputOptions(encode, options, "the TVQ file");
    AddLimitOption(encode, options, "pictures");
    encode->add_option("FILE", options.files, "Pictures; - reads standard input")->required();

    CLI::App* info = app.add_subcommand(
        "info", "Show size and truncation of TVQ files, and whether they are TVQ at all");
    info->add_flag("--json", options.json, "Print a JSON array");
    AddLimitOption(info, options, "TVQ files");
    info->add_option("FILE", options.files, "TVQ files; - reads standard input")->required();

    CLI::App* help = app.add_subcommand("help", "Print this help, or a command's");
    std::string topic;
    help->add_option("COMMAND", topic, "convert, encode or info");

    const bool commandFirst = argc > 1 && argv[1][0] != '-';
    if (commandFirst && UnknownCommand(argv[1]))
        return kUsageError;
    const std::string command = commandFirst ? argv[1] : "";
    // An option before any command: the nearest of the program's own, when it is none.
    if (argc > 1 && !commandFirst && !app.get_option_no_throw(argv[1]))
        return UsageError(ExtrasProblem(app, {argv[1]}), "");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) // --help, --version
            return app.exit(error);
        if (argc < 2) {
            fprintf(stderr, "zod-tvq: a command is needed: convert, encode, info or help "
                            "(zod-tvq --help tells more)\n");
            return kUsageError;
        }
        return UsageError(error.what(), command);
    }
    CLI::App* chosen = app.get_subcommands().front();
    if (!chosen->remaining().empty())
        return UsageError(ExtrasProblem(*chosen, chosen->remaining()), command);
    if (chosen == help) {
        if (!topic.empty() && topic != "help" && UnknownCommand(topic.c_str()))
            return kUsageError;
        // App::help() would describe the help command itself, being the one parsed.
        const bool whole = topic.empty() || topic == "help";
        printf("%s", whole ? app.get_formatter()
                                 ->make_help(&app, "zod-tvq", CLI::AppFormatMode::Normal)
                                 .c_str()
                           : app.get_subcommand(topic)->help("zod-tvq").c_str());
        return 0;
    }
    options.factorGiven =
        chosen != info && chosen->count("--factor") + chosen->count("--level") > 0;
    if (level > 0)
        options.factor = TvqLevelFactor(level);
    try {
        if (chosen == convert)
            return RunConvert(options);
        return chosen == encode ? RunEncode(options) : RunInfo(options);
    } catch (const std::exception& error) { // out of memory, in effect
        fprintf(stderr, "zod-tvq: %s\n", error.what());
        return kFailedInput;
    }
}
