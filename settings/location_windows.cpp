#include "settings/stored_factor.h"

const char* SettingsFilePath(bool) {
    return "c:\\windows\\RARURI.ini";
}
