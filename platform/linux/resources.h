// The program's resources as the subset finds them by name: the menu and the decoded icon
// and cursor (resources.cpp).
#pragma once

#include "host.h"

namespace zod {

const Menu* FindMenuResource(const char* name);
const Image* FindIconResource(const char* name);
const Image* FindCursorResource(const char* name);

} // namespace zod
