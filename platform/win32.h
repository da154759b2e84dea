// The one header through which program code reaches the platform.
// On Windows it is the real API; elsewhere it is our own Win32 subset.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
#else
#include "linux/win32_subset.h"
#endif
