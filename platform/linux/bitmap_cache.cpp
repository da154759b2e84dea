// The last BMP file LoadImageA decoded. The program asks for the file on view at every
// paint, so a repaint of an unchanged file shares these pixels instead of decoding again.
// The key is the file's identity and version: a file changed or replaced on disk is
// decoded again. One image at most is kept.
#include "state.h"

#include <sys/stat.h>

namespace zod {

namespace {

struct CachedBitmap {
    FileVersion version{};
    int width = 0;
    int height = 0;
    PixelBuffer pixels;
};

CachedBitmap cached;

bool operator==(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool ReadFileVersion(const char* path, FileVersion& version) {
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    version = FileVersion{uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size),
                          info.st_mtim, info.st_ctim};
    return true;
}

HBITMAP LoadCachedBitmap(const FileVersion& version) {
    const FileVersion& key = cached.version;
    if (!cached.pixels || key.device != version.device || key.inode != version.inode ||
        key.size != version.size || !(key.modified == version.modified) ||
        !(key.changed == version.changed))
        return nullptr;
    return NewSharedBitmap(cached.width, cached.height, cached.pixels);
}

void KeepDecodedBitmap(const FileVersion& version, int width, int height, PixelBuffer pixels) {
    // A file written in the last moments may be written again within the same tick of the
    // file system's clock, keeping its size and modification time: keep only a file that
    // has been still for a while.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec - version.modified.tv_sec < 2)
        return;
    cached = CachedBitmap{version, width, height, std::move(pixels)};
}

void ForgetDecodedBitmap() {
    cached = CachedBitmap{};
}

} // namespace zod
