// LoadImageA on one file, as the viewer's paint asks for it: the wall time of the load, for
// bench/load_image.sh, which also takes the peak memory from /usr/bin/time.
#include "platform/hosts/headless.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: load_image FILE.bmp\n");
        return 2;
    }
    zod::HeadlessHost host(16, 16);
    const auto start = std::chrono::steady_clock::now();
    HANDLE bitmap = LoadImageA(nullptr, argv[1], IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    printf("%s %.3f s\n", bitmap ? "loaded" : "refused", took.count());
    DeleteObject(bitmap);
    return bitmap ? 0 : 1;
}
