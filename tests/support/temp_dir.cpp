#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace zod::test {

TempDir::TempDir() {
    const char* root = std::getenv("ZOD_TEST_TMP");
    fs::path base = root && *root ? fs::path(root) : fs::temp_directory_path();
    fs::create_directories(base);
    // A random name that create_directory claims, as mkdtemp does; mingw has no mkdtemp.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        fs::path candidate = base / ("zod-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(candidate, error))
            path_ = candidate.string();
    }
    if (path_.empty())
        ADD_FAILURE() << "cannot make a temporary folder under " << base;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    return fs::exists(path);
}

int CountFilesIn(const std::string& folder) {
    return int(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace zod::test
