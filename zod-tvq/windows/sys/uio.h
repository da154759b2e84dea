// The one POSIX structure zod-tvq's shared headers use, for Windows, which has no
// <sys/uio.h>: pieces of memory written in order (safe_output_windows.cpp writes them).
#pragma once

#include <cstddef>

struct iovec {
    void* iov_base;
    size_t iov_len;
};

#ifndef IOV_MAX
#define IOV_MAX 1024
#endif
