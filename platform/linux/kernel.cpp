// Global memory, the clock and the process.
#include "state.h"

#include <unistd.h>

#include <chrono>
#include <new>

using namespace zod;

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if ((flags & ~UINT(GMEM_ZEROINIT)) != GMEM_FIXED || bytes > kMaxGlobalBytes)
        return nullptr;
    auto block = std::make_unique<MemoryObject>();
    // A zero-byte block is still a block, with a pointer of its own.
    block->data.reset(new (std::nothrow) uint8_t[bytes ? bytes : 1]);
    if (!block->data)
        return nullptr;
    if (flags & GMEM_ZEROINIT)
        std::fill_n(block->data.get(), bytes, uint8_t(0));
    block->size = bytes;
    return State().handles.Add(HandleKind::Memory, std::move(block));
}

LPVOID WINAPI GlobalLock(HGLOBAL memory) {
    auto* block = State().handles.Get<MemoryObject>(memory, HandleKind::Memory);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->data.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL memory) {
    auto* block = State().handles.Get<MemoryObject>(memory, HandleKind::Memory);
    if (!block || block->locks == 0)
        return FALSE;
    return --block->locks > 0;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL memory) {
    // Only memory blocks: any other handle would be torn out from under its owner.
    if (!State().handles.Get<MemoryObject>(memory, HandleKind::Memory))
        return memory;
    return State().handles.Remove(memory) ? nullptr : memory;
}

DWORD WINAPI GetTickCount() {
    using namespace std::chrono;
    return DWORD(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD WINAPI GetCurrentProcessId() {
    return DWORD(getpid());
}
