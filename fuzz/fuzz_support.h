// What the fuzz targets share: the input as a file for readers that take a path, and a
// check that stops the run with a message, which libFuzzer then reports as a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zod::fuzz {

// Writes the input to this process's own temporary file and returns its path. The file is
// removed when the process ends.
const char* InputFile(const uint8_t* data, size_t size);

// A named pipe with no writer, made beside the input file and removed when the process
// ends. Opening it for reading would wait for ever; readers must refuse it first.
const char* NamedPipe();

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

} // namespace zod::fuzz

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? (void)0 : ::zod::fuzz::Fail(#condition, __FILE__, __LINE__))
