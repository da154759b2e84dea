// The settings file: one decimal number, the amplification factor.
#pragma once

#include "common/common.h"

// Returns the stored factor. When the file cannot be read the user is told, the default
// is written and returned.
int32_t ReadSettings(HWND owner);
// Creates the file with the default factor; when that fails the user is told and the
// program is asked to quit.
void WriteDefaultSettings(HWND owner);
void WriteSettings(HWND owner, int32_t factor);

// Where the file lives on this system; the folder is created when `createFolder` is set.
// Never NULL; empty when no place can be determined.
const char* SettingsFilePath(bool createFolder);
