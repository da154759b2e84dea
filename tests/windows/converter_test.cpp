// zod-tvq.exe run as Windows users run it: UTF-16 command lines, patterns left to the
// program, Windows' rules for replacing files, the viewer's factor where file
// virtualisation keeps it, and PNG written and pictures read by WIC. Files, messages and
// exit codes are checked as the Linux tests check the Linux build.
#include "tests/zod-tvq/cases.h"
#include "tests/support/image_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace zod::test;
namespace fs = std::filesystem;

std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = fs::path(unixPath).wstring();
    if (!path.empty() && path[0] == L'/')
        path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string Utf8(const std::wstring& text) {
    return fs::path(text).string(); // libstdc++ gives UTF-8 here
}

struct Result {
    DWORD status;
    std::string out, err;
};

class ZodTvqExe : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Work());
        fs::create_directories(fs::path(WindowsPath(dir_.path())) / L"VirtualStore" / L"Windows");
        // Where the viewer's factor is looked for first: a folder of this test's own.
        _wputenv((L"LOCALAPPDATA=" + WindowsPath(dir_.path())).c_str());
    }

    fs::path Work() const { return fs::path(WindowsPath(dir_.path())) / L"work"; }

    // Runs zod-tvq.exe in the work folder; `arguments` as a Windows command line.
    Result Run(const std::wstring& arguments) {
        const fs::path out = fs::path(WindowsPath(dir_.path())) / L"out.txt";
        const fs::path err = fs::path(WindowsPath(dir_.path())) / L"err.txt";
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE outFile = CreateFileW(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                     CREATE_ALWAYS, 0, nullptr);
        HANDLE errFile = CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                     CREATE_ALWAYS, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = outFile;
        startup.hStdError = errFile;
        std::wstring commandLine = L"\"" + WindowsPath(ZOD_TVQ_EXE) + L"\" " + arguments;
        PROCESS_INFORMATION process{};
        Result result{DWORD(-1), "", ""};
        if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                           Work().c_str(), &startup, &process)) {
            WaitForSingleObject(process.hProcess, 120000);
            GetExitCodeProcess(process.hProcess, &result.status);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        CloseHandle(outFile);
        CloseHandle(errFile);
        result.out = ReadFileBytes(out.string());
        result.err = ReadFileBytes(err.string());
        return result;
    }

    // Through wide names: the test's own files may be named outside the ANSI code page.
    void Put(const std::wstring& name, const std::string& bytes) {
        std::ofstream out(Work() / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::string Read(const std::wstring& name) {
        std::ifstream in(Work() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::wstring& name) { return fs::exists(Work() / name); }
    TempDir dir_;
};

// The pixels of a PNG file as COLORREFs, decoded by WIC.
std::vector<uint32_t> PngPixels(const fs::path& path, UINT* width) {
    std::vector<uint32_t> pixels;
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    UINT height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(width, &height)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat24bppRGB, WICBitmapDitherTypeNone,
                                        nullptr, 0, WICBitmapPaletteTypeCustom))) {
        std::vector<uint8_t> rgb(size_t(*width) * height * 3);
        if (SUCCEEDED(converter->CopyPixels(nullptr, *width * 3, UINT(rgb.size()), rgb.data())))
            for (size_t i = 0; i + 2 < rgb.size(); i += 3)
                pixels.push_back(RGB(rgb[i], rgb[i + 1], rgb[i + 2]));
    }
    for (IUnknown* object : std::initializer_list<IUnknown*>{converter, frame, decoder, factory})
        if (object)
            object->Release();
    return pixels;
}

class Com {
  public:
    Com() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~Com() { CoUninitialize(); }
};

// The Linux tests' table (tests/zod-tvq/cases.h).
TEST_F(ZodTvqExe, PixelsMatchAReferenceInBothFormats) {
    Com com;
    for (const PixelCase& c : kPixelCases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " factor " << c.factor);
        const std::string file = PixelCaseFile(c);
        Put(L"in.tvq", file);
        const std::vector<uint32_t> reference = TvqPicture(file, c.factor);
        const std::wstring factor = L"--factor=" + std::to_wstring(c.factor);
        ASSERT_EQ(Run(L"convert --force " + factor + L" in.tvq").status, 0u);
        ASSERT_EQ(Run(L"convert --force --to png " + factor + L" in.tvq").status, 0u);
        const std::string bmp = Read(L"in.bmp");
        UINT width = 0;
        const std::vector<uint32_t> png = PngPixels(Work() / L"in.png", &width);
        ASSERT_EQ(png.size(), reference.size());
        ASSERT_EQ(width, UINT(c.width));
        int wrongBmp = 0, wrongPng = 0;
        for (size_t i = 0; i < reference.size(); ++i) {
            wrongBmp += Bmp24Pixel(bmp, int(i % c.width), int(i / c.width)) != reference[i];
            wrongPng += png[i] != reference[i];
        }
        EXPECT_EQ(wrongBmp, 0);
        EXPECT_EQ(wrongPng, 0);
    }
}

TEST_F(ZodTvqExe, UnicodeNamesAndPatterns) {
    const std::wstring name = L"\u00dcn\u00efc\u00f6d\u00e9 \u753b\u50cf";
    Put(name + L".tvq", TvqBytes(4, 2, NoiseWords(8)));
    Put(L"plain.tvq", TvqBytes(4, 2, NoiseWords(8)));
    Put(L"other.txt", "not matched");
    const Result converted = Run(L"convert --factor 3 *.tvq");
    EXPECT_EQ(converted.status, 0u) << converted.err;
    EXPECT_TRUE(Exists(name + L".bmp"));
    EXPECT_TRUE(Exists(L"plain.bmp"));
    EXPECT_FALSE(Exists(L"other.bmp"));
    // An error names the file as it is called, in UTF-8.
    const Result missing = Run(L"info \"" + name + L" 2.tvq\"");
    EXPECT_EQ(missing.status, 1u);
    EXPECT_NE(missing.err.find(Utf8(name + L" 2.tvq")), std::string::npos) << missing.err;
    // A pattern that matches nothing is reported as the name it is.
    const Result none = Run(L"info nothing*.tvq");
    EXPECT_EQ(none.status, 1u);
    EXPECT_NE(none.err.find("nothing*.tvq"), std::string::npos) << none.err;
}

TEST_F(ZodTvqExe, ReplacesOnlyWithForceAndNeverAReadOnlyFile) {
    Put(L"a.tvq", TvqBytes(2, 2, NoiseWords(4)));
    Put(L"a.bmp", "earlier");
    Result r = Run(L"convert --factor 3 a.tvq");
    EXPECT_EQ(r.status, 1u);
    EXPECT_NE(r.err.find("exists; --force replaces it"), std::string::npos) << r.err;
    EXPECT_EQ(Read(L"a.bmp"), "earlier");
    EXPECT_EQ(Run(L"convert --force --factor 3 a.tvq").status, 0u);
    EXPECT_EQ(Read(L"a.bmp").substr(0, 2), "BM");

    // Wine's MoveFileExW would replace a read-only file; the program refuses it itself.
    Put(L"a.png", "kept");
    SetFileAttributesW((Work() / L"a.png").c_str(), FILE_ATTRIBUTE_READONLY);
    r = Run(L"convert --force --to png --factor 3 a.tvq");
    EXPECT_EQ(r.status, 1u);
    EXPECT_NE(r.err.find("read-only"), std::string::npos) << r.err;
    SetFileAttributesW((Work() / L"a.png").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Read(L"a.png"), "kept");
    // Nothing of the attempts is left beside the outputs.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(Work()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 3);
}

// The Linux tests' saved factors, in the VirtualStore copy; then, without it, the real file.
TEST_F(ZodTvqExe, FactorFromTheViewersVirtualStoreCopyThenTheRealFile) {
    const uint16_t word = 0xFFFF;
    Put(L"a.tvq", TvqBytes(1, 1, {word}));
    const fs::path copy =
        fs::path(WindowsPath(dir_.path())) / L"VirtualStore" / L"Windows" / L"RARURI.ini";
    const std::string real = "c:\\windows\\RARURI.ini";
    const bool hadReal = fs::exists(real);
    const std::string saved = ReadFileBytes(real);
    fs::remove(real);
    for (const SavedFactorCase& c : kSavedFactorCases) {
        SCOPED_TRACE(c.saved ? c.saved : "no file");
        if (c.saved)
            WriteFileBytes(copy.string(), c.saved);
        else
            fs::remove(copy);
        ASSERT_EQ(Run(L"convert --force a.tvq").status, 0u);
        EXPECT_EQ(Bmp24Pixel(Read(L"a.bmp"), 0, 0), AmplifiedColour(word, c.factor));
    }
    fs::remove(copy);
    WriteFileBytes(real, "7");
    ASSERT_EQ(Run(L"convert --force a.tvq").status, 0u);
    EXPECT_EQ(Bmp24Pixel(Read(L"a.bmp"), 0, 0), AmplifiedColour(word, 7));
    if (hadReal)
        WriteFileBytes(real, saved);
    else
        fs::remove(real);
}

// encode reads pictures through WIC: channel values that are multiples of the factor come
// back exactly.
TEST_F(ZodTvqExe, EncodesPicturesReadByWic) {
    const int width = 5, height = 3;
    auto colour = [](int x, int y) {
        return RGB(8 * (x * 6 % 32), 8 * ((y * 11 + x) % 32), 8 * ((x + y) * 5 % 32));
    };
    Put(L"picture.bmp", Bmp24Bytes(width, height, colour));
    const Result r = Run(L"encode --factor 8 picture.bmp");
    ASSERT_EQ(r.status, 0u) << r.err;
    const std::string tvq = Read(L"picture.tvq");
    ASSERT_EQ(tvq.size(), 32u + 2 * width * height);
    const std::vector<uint32_t> picture = TvqPicture(tvq, 8);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            wrong += picture[size_t(y * width + x)] != colour(x, y);
    EXPECT_EQ(wrong, 0);
}

// The Linux tests' table: the same file is known by its volume and file index.
TEST_F(ZodTvqExe, NoOutputIsAnInputUnderAnyName) {
    const std::string tvq = TvqBytes(2, 2, {1, 2, 3, 4});
    for (const SameFileCase& c : kSameFileCases) {
        SCOPED_TRACE(c.name);
        Put(L"in.tvq", tvq);
        const fs::path link = c.link ? Work() / c.link : fs::path();
        if (c.link) {
            ASSERT_TRUE(CreateHardLinkW(link.c_str(), (Work() / L"in.tvq").c_str(), nullptr));
        }
        if (c.picture)
            Put(fs::path(c.picture).wstring(),
                Bmp24Bytes(1, 1, [](int, int) { return 0x102030u; }));
        std::wstring arguments = fs::path(c.args[0]).wstring() + L" --force";
        for (size_t i = 1; i < c.args.size(); ++i)
            arguments += L" " + fs::path(c.args[i]).wstring();
        const Result r = Run(arguments);
        EXPECT_EQ(r.status, 1u);
        EXPECT_NE(r.err.find("is an input"), std::string::npos) << r.err;
        EXPECT_EQ(Read(L"in.tvq"), tvq);
        fs::remove(Work() / (c.link ? c.link : c.picture));
    }
}

// A device, a folder or a pipe is never read as an input nor replaced as an output, --force
// or not.
TEST_F(ZodTvqExe, OnlyRegularFilesAreReadOrReplaced) {
    Put(L"in.tvq", TvqBytes(2, 2, {1, 2, 3, 4}));
    fs::create_directory(Work() / L"in.bmp");
    fs::create_directory(Work() / L"folder.tvq");
    const std::wstring pipeName =
        L"\\\\.\\pipe\\zod-tvq-test-" + std::to_wstring(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE,
                                   PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    const struct {
        std::wstring arguments;
        const char* refusal;
    } cases[] = {
        {L"convert --force -o NUL --to bmp in.tvq", "NUL is a device, not a regular file"},
        {L"convert --force in.tvq", "in.bmp is a folder, not a regular file"},
        {L"convert --force --to bmp -o " + pipeName + L" in.tvq", "is a pipe, not a regular file"},
        {L"info NUL", "NUL: is a device, not a regular file"},
        {L"convert --force -o out.bmp NUL", "NUL: is a device, not a regular file"},
        {L"encode --force -o out.tvq NUL", "NUL: is a device, not a regular file"},
        {L"info folder.tvq", "folder.tvq: is a folder, not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        const Result r = Run(c.arguments);
        EXPECT_EQ(r.status, 1u);
        EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
    }
    CloseHandle(pipe);
    EXPECT_TRUE(fs::is_directory(Work() / L"in.bmp"));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(Work()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "nothing is left beside the input";
}

// The Linux tests' table: the same exit statuses and words. A name ending in \ is a folder
// here as one ending in / is anywhere.
TEST_F(ZodTvqExe, ExitStatusWordsAndOutputPlacesAsOnLinux) {
    for (const auto& [name, bytes] : CommandLineFiles())
        Put(fs::path(name).wstring(), bytes);
    fs::create_directory(Work() / L"out");
    for (const CommandLineCase& c : kCommandLineCases) {
        SCOPED_TRACE(c.args);
        Result r = Run(fs::path(c.args).wstring());
        r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end()); // text mode
        EXPECT_EQ(r.status, DWORD(c.status)) << r.err;
        EXPECT_EQ(*c.says ? r.err.substr(0, strlen(c.says)) : r.err, c.says);
        EXPECT_TRUE(!c.writes || Exists(fs::path(c.writes).wstring()));
    }
    EXPECT_EQ(Run(L"convert -q -o backslash\\ *.tvq").status, 0u);
    EXPECT_TRUE(Exists(L"backslash\\a.bmp"));
    Put(L"notes.tvq", "Dear diary, today the build was green and the tea was hot.");
    EXPECT_EQ(Run(L"convert notes.tvq").status, 1u);
    EXPECT_FALSE(Exists(L"notes.bmp"));
}

} // namespace
