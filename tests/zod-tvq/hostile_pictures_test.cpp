// encode against pictures made to hurt: claims far beyond what the file holds, bombs in
// chunks it never uses, files cut short or damaged, loaders that cannot be bounded. Each
// runs in a batch before a good picture, under a memory cap, and its peak is measured.
#include "tests/zod-tvq/cli.h"
#include "tests/support/image_files.h"
#include "zod-tvq/picture_input.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <zlib.h>

#include <algorithm>
#include <sys/resource.h>

namespace zod::test {
namespace {

// A literal's bytes, zeros included.
template <size_t N> std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string Be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const auto* bytes = reinterpret_cast<const Bytef*>(body.data());
    return Be32(uint32_t(data.size())) + body + Be32(uint32_t(crc32(0, bytes, uInt(body.size()))));
}

// A zlib stream of `piece` `times` over, made a piece at a time: a child's peak memory
// counts what its parent held when it forked.
std::string Deflate(const std::string& piece, int times = 1, int level = 9) {
    z_stream zip{};
    deflateInit(&zip, level);
    std::string out;
    char buffer[1 << 14];
    for (int i = 0; i <= times; ++i) {
        zip.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        zip.avail_in = i < times ? uInt(piece.size()) : 0;
        do {
            zip.next_out = reinterpret_cast<Bytef*>(buffer);
            zip.avail_out = sizeof buffer;
            deflate(&zip, i < times ? Z_NO_FLUSH : Z_FINISH);
            out.append(buffer, sizeof buffer - zip.avail_out);
        } while (zip.avail_out == 0);
    }
    deflateEnd(&zip);
    return out;
}

// An 8-bit RGB PNG with `extra` chunks before its one IDAT.
std::string Png(uint32_t width, uint32_t height, bool interlaced, const std::string& extra,
                const std::string& idat) {
    return std::string("\x89PNG\r\n\x1a\n") +
           Chunk("IHDR", Be32(width) + Be32(height) + Bytes("\x08\x02\0\0") + char(interlaced)) +
           extra + Chunk("IDAT", idat) + Chunk("IEND", "");
}

// A 64 x 64 JPEG, made by the system's saver.
std::string Jpeg() {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, false, 8, 64, 64);
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (int i = 0; i < 64 * gdk_pixbuf_get_rowstride(pixbuf); ++i)
        pixels[i] = guchar(i * 37 / 5);
    gchar* buffer = nullptr;
    gsize size = 0;
    gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "jpeg", nullptr, nullptr);
    std::string jpeg(buffer, size);
    g_free(buffer);
    g_object_unref(pixbuf);
    return jpeg;
}

// Runs zod-tvq capped at `megabytes` (a regression fails rather than eats the machine) and
// gives its peak resident memory in MiB: the largest of any child so far, where a child
// counts what this process held when it forked.
#if defined(__SANITIZE_ADDRESS__) // ASan reserves far more address space than it uses
std::string Capped(int megabytes) {
    return "ASAN_OPTIONS=$ASAN_OPTIONS:allocator_may_return_null=1:hard_rss_limit_mb=" +
           std::to_string(megabytes) + " ";
}
#else
std::string Capped(int megabytes) {
    return "ulimit -v " + std::to_string(megabytes << 10) + " && ";
}
#endif
long PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss >> 10;
}

using HostilePictures = Cli;

TEST_F(HostilePictures, AreRefusedOrReadInBoundedMemoryAndTheBatchGoesOn) {
    const std::string jpeg = Jpeg(), megabyte(1 << 20, '\0'), none(2, '\0');
    std::string huge = jpeg, rows, texts; // texts: 512 MiB inflated, which nothing needs
    huge.replace(huge.find("\xFF\xC0") + 5, 4, "\x7F\xFF\x7F\xFF"); // the frame's size
    for (int y = 0; y < 10; ++y)
        rows += '\0' + std::string(30, char(y * 20));
    for (int i = 0; i < 8; ++i)
        texts += Chunk("zTXt", "c" + none + Deflate(megabyte, 64));
    // Stored, one pixel byte changed after the CRC was made: past the signature, IHDR, the
    // IDAT's length and type, zlib's header and the stored block's.
    std::string damaged = Png(10, 10, false, "", Deflate(rows, 1, 0));
    damaged[8 + 25 + 8 + 2 + 5 + 10] ^= 0x40;
    std::string late = Png(10, 10, false, "", Deflate(rows)); // a chunk before the header
    late.insert(8, Chunk("tEXt", "k"));
    const struct {
        const char* name;
        std::string bytes;
        const char* says; // on standard error; nullptr: encoded
    } cases[] = {
        {"interlaced.png", Png(32767, 32767, true, "", Deflate("")),
         "larger than --max-pixels allows"},
        {"interlaced-cut.png", Png(16000, 16000, true, "", Deflate(std::string(99, 0))), "PNG"},
        {"text.png", Png(10, 10, false, texts, Deflate(rows)), nullptr},
        {"profile.png",
         Png(10, 10, false, Chunk("iCCP", "icc" + none + Deflate(megabyte, 512)), Deflate(rows)),
         nullptr},
        {"damaged.png", damaged, "checksum"},
        {"late.png", late, "PNG"},
        {"screen.gif",
         Bytes("GIF89a\xFF\x7F\xFF\x7F\x80\0\0\0\0\0\xFF\xFF\xFF,\0\0\0\0\1\0\1\0\0\2\2D\1\0;"),
         "larger than --max-pixels allows"},
        {"claim.ppm", "P6\n16000 16000\n255\n" + std::string(300, '\x80'),
         "the file ends before the picture does"},
        {"cut.jpg", jpeg.substr(0, jpeg.size() / 2), "the file ends before the picture does"},
        {"huge.jpg", huge, "larger than --max-pixels allows"},
        {"big.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20000\" height=\"20000\"/>",
         "SVG drawings are not read"},
        {"icon.xpm",
         "/* XPM */\nstatic char *x[] = {\n\"4000 4000 2 1\",\n" + std::string(1 << 20, '.'),
         "XPM icons are not read"},
    };
    Put("good.bmp", Bmp24Bytes(2, 2, [](int x, int) { return x ? 0xFFFFFFu : 0u; }));
    const std::string temporary = dir.File("tmp");
    mkdir(temporary.c_str(), 0700);
    mkdir((work + "/out").c_str(), 0700);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.name, c.bytes);
        const Result result =
            Run(Capped(2048) + "TMPDIR=" + temporary +
                " zod-tvq encode -q --no-sync --force -o out/ " + c.name + " good.bmp");
        const std::string output = work + "/out/" + c.name;
        EXPECT_EQ(FileExists(output.substr(0, output.rfind('.')) + ".tvq"), !c.says);
        EXPECT_TRUE(FileExists(work + "/out/good.tvq")) << result.err;
        if (c.says) {
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.err.rfind(std::string("zod-tvq: ") + c.name + ": ", 0), 0u);
            EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        } else {
            EXPECT_EQ(result.status, 0) << result.err;
        }
        EXPECT_LT(PeakMegabytes(), 200);
        EXPECT_EQ(CountFilesIn(temporary), 0) << "a loader's temporary file";
        unlink((work + "/out/good.tvq").c_str());
    }
}

// Standard input that does not end is read only as far as the largest picture allowed: here
// 2^20 pixels, 68 MiB; the TIFF loader would keep all it is given.
TEST_F(HostilePictures, StandardInputIsReadOnlyAsFarAsTheLimit) {
    const pid_t pid = fork();
    if (pid == 0) {
        FILE* zeros = popen("printf 'II*\\0\\10\\0\\0\\0'; head -c 300000000 /dev/zero", "r");
        dup2(fileno(zeros), STDIN_FILENO);
        std::string reason;
        const bool opened = cli::OpenPicture("-", {1 << 20}, &reason) != nullptr;
        _exit(!opened && reason.rfind("more than 71303168 bytes", 0) == 0 ? 0 : 1);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_LT(PeakMegabytes(), 400); // all 300 MB would be more
}

} // namespace
} // namespace zod::test
