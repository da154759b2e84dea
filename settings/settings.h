// The settings file: one decimal number, the amplification factor, with the messages that
// tell the user when it cannot be read or written.
#pragma once

#include "common/types.h"
#include "platform/win32.h"
#include "settings/stored_factor.h"

// Returns the stored factor. When the file cannot be read the user is told, the default
// is written and returned.
int32_t ReadSettings(HWND owner);
// Creates the file with the default factor; when that fails the user is told and the
// program is asked to quit.
void WriteDefaultSettings(HWND owner);
void WriteSettings(HWND owner, int32_t factor);
