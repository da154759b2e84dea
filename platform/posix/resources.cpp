// Placeholder until the resource script is embedded.
#include "state.h"

namespace zod {
const Menu* FindMenuResource(const char*) {
    return nullptr;
}
const Image* FindIconResource(const char*) {
    return nullptr;
}
const Image* FindCursorResource(const char*) {
    return nullptr;
}
} // namespace zod
