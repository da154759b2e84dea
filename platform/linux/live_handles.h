// What is still alive in the handle table, so that a test can prove that everything a
// scenario acquired was released (handles.cpp).
#pragma once

namespace zod {

enum class HandleKind { Window, DeviceContext, Bitmap, Memory, Icon, Cursor, Brush, File, Count };
int LiveHandles(HandleKind kind);
// Device contexts, bitmaps, memory blocks and open files that are still alive.
int LiveResourceHandles();

} // namespace zod
