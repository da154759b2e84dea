// LoadIconA and LoadCursorA: handles to the icon and cursor resources.
#include "state.h"

namespace zod {

namespace {

// Resource icons and cursors are shared, as on Windows: one handle per name, never freed.
HANDLE SharedImage(HandleKind kind, const Image* image) {
    if (!image)
        return nullptr;
    for (void* handle : State().handles.All(kind))
        if (State().handles.Get<ImageObject>(handle, kind)->image == image)
            return handle;
    auto object = std::make_unique<ImageObject>();
    object->image = image;
    return State().handles.Add(kind, std::move(object), true);
}

} // namespace

} // namespace zod

using namespace zod;

HICON WINAPI LoadIconA(HINSTANCE, LPCSTR name) {
    if (!name)
        return nullptr;
    return static_cast<HICON>(
        SharedImage(HandleKind::Icon, FindIconResource(ResourceName(name).c_str())));
}

HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR name) {
    if (!name)
        return nullptr;
    return static_cast<HCURSOR>(
        SharedImage(HandleKind::Cursor, FindCursorResource(ResourceName(name).c_str())));
}
