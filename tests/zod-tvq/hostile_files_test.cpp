// zod-tvq against hostile places: outputs that are devices, pipes or an input under another
// name, inputs that are named pipes, signals in the middle of a conversion, and names that
// are not text.
#include "zod-tvq/safe_output.h"
#include "tests/zod-tvq/cases.h"
#include "tests/zod-tvq/cli.h"
#include "tests/support/image_files.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zod::test {
namespace {

// Outcome::status is the exit status, or 128 + the signal that ended it.
using Outcome = Result;

class Hostile : public Cli {
  protected:
    // Starts zod-tvq in the work folder; standard output goes to `out` (a file by default).
    pid_t Start(const std::vector<std::string>& args, const std::string& out = "",
                bool ignoreInterrupt = false) {
        const std::string outPath = out.empty() ? dir.File("stdout.txt") : out;
        const std::string errPath = dir.File("stderr.txt");
        const char* program = getenv("ZOD_TVQ") ? getenv("ZOD_TVQ") : ZOD_TVQ_PATH;
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(work.c_str()) != 0)
                _exit(126);
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            const int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(o, 1);
            dup2(e, 2);
            const rlimit noCore{0, 0}; // SIGQUIT would leave a core file in the work folder
            setrlimit(RLIMIT_CORE, &noCore);
            if (ignoreInterrupt)
                signal(SIGINT, SIG_IGN);
            std::vector<char*> argv{const_cast<char*>(program)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        return pid;
    }
    // Waits at most 20 s, then kills it: a hang fails the test rather than stopping it.
    Outcome Finish(pid_t pid) {
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
            if (waited == 2000)
                kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                ReadFileBytes(dir.File("stdout.txt")), ReadFileBytes(dir.File("stderr.txt"))};
    }
    Outcome Run(const std::vector<std::string>& args, const std::string& out = "") {
        return Finish(Start(args, out));
    }

    std::string At(const std::string& name) { return work + "/" + name; }

    const std::string tvq = TvqBytes(2, 2, {1, 2, 3, 4});
};

bool MakeCharacterDevice(const std::string& path) {
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; // the null device's numbers
}

mode_t TypeOf(const std::string& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return status.st_mode & S_IFMT;
}

TEST_F(Hostile, ForceReplacesOnlyRegularFiles) {
    const struct {
        const char* what;
        bool (*make)(const std::string& path);
    } cases[] = {
        {"a named pipe", [](const std::string& p) { return mkfifo(p.c_str(), 0600) == 0; }},
        {"a character device", MakeCharacterDevice},
        {"a character device",
         [](const std::string& p) { return symlink("/dev/null", p.c_str()) == 0; }},
    };
    Put("in.tvq", tvq);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = At("target.bmp");
        if (!c.make(target)) {
            printf("[  SKIPPED ] cannot make %s here (needs root): %s\n", c.what, strerror(errno));
            continue;
        }
        const mode_t type = TypeOf(target);
        const Outcome result =
            Run({"convert", "--force", "--no-sync", "-o", "target.bmp", "in.tvq"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(std::string("is ") + c.what + ", not a regular file"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(TypeOf(target), type);
        unlink(target.c_str());
    }
}

TEST_F(Hostile, NoOutputIsAnInputUnderAnyName) {
    for (const SameFileCase& c : kSameFileCases) {
        SCOPED_TRACE(c.name);
        Put("in.tvq", tvq);
        if (c.link) {
            ASSERT_EQ(link(At("in.tvq").c_str(), At(c.link).c_str()), 0);
        }
        if (c.picture)
            Put(c.picture, Bmp24Bytes(1, 1, [](int, int) { return 0x102030u; }));
        std::vector<std::string> args{c.args[0], "--force", "--no-sync"};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        const Outcome result = Run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("is an input"), std::string::npos) << result.err;
        EXPECT_EQ(ReadFileBytes(At("in.tvq")), tvq);
        unlink(At(c.link ? c.link : c.picture).c_str());
    }
}

// Bytes written so far by `pid`, from /proc.
long Written(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long value = 0;
    while (io >> key >> value)
        if (key == "wchar:")
            return value;
    return 0;
}

TEST_F(Hostile, ASignalMidConversionLeavesNoFile) {
    // 8192 x 8192 claimed by a few words: a 192 MiB BMP, stopped a few megabytes in.
    Put("big.tvq", TvqBytes(8192, 8192, {1, 2, 3}));
    for (const int signal :
         {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t pid = Start({"convert", "--no-sync", "--allow-sparse", "big.tvq"});
        while (Written(pid) < (4 << 20) && waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(pid, signal);
        EXPECT_EQ(Finish(pid).status, 128 + signal);
        EXPECT_EQ(CountFilesIn(work), 1) << "only the input is left";
        for (const auto& entry : std::filesystem::directory_iterator(work))
            if (entry.path().filename() != "big.tvq")
                std::filesystem::remove(entry.path());
    }
}

TEST_F(Hostile, AnInterruptIgnoredAtStartStaysIgnored) {
    Put("big.tvq", TvqBytes(2048, 2048, {1, 2, 3}));
    const pid_t pid = Start({"convert", "--no-sync", "--allow-sparse", "big.tvq"}, "", true);
    while (Written(pid) < (256 << 10) && waitpid(pid, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGINT);
    EXPECT_EQ(Finish(pid).status, 0);
    EXPECT_EQ(ReadFileBytes(At("big.bmp")).size(), 54u + 2048u * 2048u * 3u);
}

// The named temporary file, used where the file system refuses unnamed ones, is removed
// by a signal's handler; a child process plays the converter.
TEST_F(Hostile, TheNamedFallbackIsRemovedOnSignals) {
    for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGUSR1, SIGALRM}) {
        SCOPED_TRACE(strsignal(signal));
        const pid_t pid = fork();
        if (pid == 0) {
            cli::InstallOutputSignalHandlers();
            cli::SafeOutput out(false);
            if (out.Create(At("out.bmp")) && out.Write("partial", 7))
                raise(signal);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        EXPECT_EQ(CountFilesIn(work), 0);
    }
}

TEST_F(Hostile, SpecialFilesAsInputAreRefusedAtOnce) {
    ASSERT_EQ(mkfifo(At("pipe.tvq").c_str(), 0600), 0);
    Put("good.tvq", tvq);
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"info", "pipe.tvq"}, "pipe.tvq: is a named pipe, not a regular file"},
        {{"info", "--json", "pipe.tvq"}, "pipe.tvq: is a named pipe, not a regular file"},
        {{"convert", "--force", "pipe.tvq", "good.tvq"},
         "pipe.tvq: is a named pipe, not a regular file"},
        {{"info", "/dev/null"}, "/dev/null: is a character device, not a regular file"},
        {{"encode", "-o", "out.tvq", "pipe.tvq"}, "pipe.tvq: is a named pipe, not a regular file"},
    };
    for (const auto& c : cases) {
        const Outcome result = Run(c.args);
        SCOPED_TRACE(c.args[1]);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, std::string("zod-tvq: ") + c.reason + "\n");
    }
    EXPECT_TRUE(FileExists(At("good.bmp")));
}

TEST_F(Hostile, NamesAndStandardOutput) {
    Put("b\xff.tvq", tvq);
    const struct {
        std::vector<std::string> args;
        const char* out; // expected standard output, or nullptr
        std::string err;
        const char* to; // where standard output goes; nullptr: a file
        int status;
    } cases[] = {
        {{"info", "--json", "b\xff.tvq"},
         "[\n  {\"file\": \"b\\ufffd.tvq\", \"file_bytes\": \"Yv8udHZx\", \"width\": 2, "
         "\"height\": 2, \"words\": 4, \"claimed_words\": 4, \"truncated\": false, "
         "\"verdict\": \"plausible\", \"refusal\": null}\n]\n",
         "",
         nullptr,
         0},
        {{"info", "b\xff.tvq"}, "b\\xff.tvq: 2 x 2, 4 of 4 pixel words\n", "", nullptr, 0},
        {{"info", "e\x1b]0;owned\x07\xc2\x9b.tvq"},
         "",
         "zod-tvq: e\\x1b]0;owned\\x07\\u009b.tvq: No such file or directory\n",
         nullptr,
         1},
        {{"info", "b\xff.tvq"},
         nullptr,
         "zod-tvq: cannot write to standard output: No space left on device\n",
         "/dev/full",
         1},
        {{"--help"},
         nullptr,
         "zod-tvq: cannot write to standard output: No space left on device\n",
         "/dev/full",
         1},
    };
    for (const auto& c : cases) {
        const Outcome result = Run(c.args, c.to ? c.to : "");
        EXPECT_EQ(result.status, c.status) << c.args[1];
        if (c.out) {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_EQ(result.err, c.err);
    }
}

} // namespace
} // namespace zod::test
