#include "settings/settings.h"

const char* SettingsFilePath(bool) {
    return "c:\\windows\\RARURI.ini";
}
