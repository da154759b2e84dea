// The settings file with no user interface: its place and the one number it holds, for
// the program and for tools that have no window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Where the file lives on this system; the folder is created when `createFolder` is set.
// Empty when no place can be determined. Returned by value, so that threads (the
// gdk-pixbuf module's, for one) may ask at once.
struct SettingsPath {
    char text[4096];
};
SettingsPath SettingsFilePath(bool createFolder);

// The factor at the start of the file's text: leading white space, an optional sign and
// decimal digits; whatever follows is ignored. No number, or one outside 32 bits, gives
// the default. The viewer reads as far as the number goes.
int32_t ParseStoredFactor(FILE* file);

// The same from the file's first kSavedFactorPrefixBytes bytes alone, for tools and modules,
// which read the file at every image: a number that does not end within them (the byte
// after it there too, or the file's end) gives the default, so a huge file costs no more
// than a small one.
constexpr size_t kSavedFactorPrefixBytes = 4096;
int32_t ParseStoredFactorPrefix(FILE* file);

// Opens `path` for reading only when it is a regular file: a named pipe would wait for a
// writer. NULL otherwise.
FILE* OpenSettingsFileAt(const char* path);

// The stored factor, or false when the file cannot be opened or read (a folder, say), or
// is not a regular file (a named pipe would wait for a writer).
bool LoadStoredFactor(int32_t* factor);

// The file the viewer reads its factor from, opened for a tool beside it. On Windows the
// viewer runs without a manifest, so file virtualisation gives it the copy under
// %LOCALAPPDATA%\VirtualStore\Windows when there is one; that copy comes first, then the
// file itself. NULL when neither opens.
FILE* OpenViewerSettingsFile();

// The factor the viewer would load, for a tool or module (which never writes the file): the
// file's prefix parsed (ParseStoredFactorPrefix), or the default when it cannot be read.
int32_t SavedFactorOrDefault();
