// zod-tvq: TVQ images to BMP or PNG at full size, pictures to TVQ, and what TVQ headers say.
#include "zod-tvq/cli_rules.h"
#include "zod-tvq/commands.h"
#include "zod-tvq/messages.h"
#include "zod-tvq/safe_output.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>

using namespace zod::cli;

namespace {

constexpr const char* kCommands[] = {"convert", "encode", "info"};

// --factor and --level, the one in place of the other.
void AddFactorOptions(CLI::App* command, Options& options, int* level, const char* factorHelp) {
    CLI::Option* factor = command->add_option("--factor", options.factor, factorHelp);
    command->add_option("--level", *level, "The viewer's Level: " + LevelTable())
        ->check(CLI::Range(1, 5))
        ->excludes(factor);
}

void AddOutputOptions(CLI::App* command, Options& options, const char* what) {
    command->add_option("-o,--output", options.output,
                        std::string("Output folder, or with one input the output file; - writes ") +
                            what + " to standard output (not atomic: a failure leaves part of it)");
    command->add_flag("--force", options.force, "Replace existing output files");
    command->add_flag("--no-sync", options.noSync,
                      "Do not wait for outputs to reach the disk (faster; a power cut may "
                      "lose them)");
    command->add_flag("-q,--quiet", options.quiet, "No progress line and no notes");
}

// A misspelt command is named as such, not taken for a missing one.
bool UnknownCommand(int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-')
        return false;
    for (const char* command : kCommands)
        if (strcmp(argv[1], command) == 0)
            return false;
    fprintf(stderr, "zod-tvq: unknown command '%s'; the commands are convert, encode and info\n",
            argv[1]);
    return true;
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
    app.footer("The viewer's Levels and the factors they amplify by (each channel is shown\n"
               "times the factor, clamped to 255):\n"
               "  Level    1  2  3  4  5\n"
               "  factor   2  3  4  6  8\n"
               "\nExamples:\n"
               "  zod-tvq convert photo.tvq               writes photo.bmp beside it\n"
               "  zod-tvq convert -o photo.png photo.tvq  the format follows the name\n"
               "  zod-tvq convert --to png -o out/ *.tvq  writes out/NAME.png for each\n"
               "  zod-tvq encode --dither picture.jpg     writes picture.tvq at Level 5\n"
               "  cat photo.png | zod-tvq encode -o - - | ssh host 'cat >photo.tvq'\n"
               "  zod-tvq info --json *.tvq\n"
               "\nExit status: 0 all done, 1 some input failed, 2 usage error.\n");

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
    convert->add_option("--max-pixels", options.maxPixels, "Refuse larger images")
        ->capture_default_str();
    convert->add_option("FILE", options.files, "TVQ files; - reads standard input")->required();

    CLI::App* encode = app.add_subcommand(
        "encode",
        "Encode pictures (PNG, JPEG, BMP, GIF, TIFF, any format gdk-pixbuf reads) as TVQ");
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
    encode->add_option("FILE", options.files, "Pictures; - reads standard input")->required();

    CLI::App* info = app.add_subcommand(
        "info", "Show size and truncation of TVQ files, and whether they are TVQ at all");
    info->add_flag("--json", options.json, "Print a JSON array");
    info->add_option("FILE", options.files, "TVQ files; - reads standard input")->required();

    if (UnknownCommand(argc, argv))
        return kUsageError;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) // --help, --version
            return app.exit(error);
        if (argc < 2) {
            fprintf(stderr, "zod-tvq: a command is needed: convert, encode or info "
                            "(zod-tvq --help tells more)\n");
            return kUsageError;
        }
        fprintf(stderr, "zod-tvq: %s (zod-tvq %s --help tells more)\n", error.what(),
                argc > 1 && argv[1][0] != '-' ? argv[1] : "");
        return kUsageError;
    }
    CLI::App* chosen = app.get_subcommands().front();
    options.factorGiven =
        chosen != info && chosen->count("--factor") + chosen->count("--level") > 0;
    if (level > 0)
        options.factor = kLevelFactors[level - 1];
    try {
        if (chosen == convert) {
            if (!options.factorGiven)
                options.factor = 0; // the saved one
            return RunConvert(options);
        }
        return chosen == encode ? RunEncode(options) : RunInfo(options);
    } catch (const std::exception& error) { // out of memory, in effect
        fprintf(stderr, "zod-tvq: %s\n", error.what());
        return kFailedInput;
    }
}
