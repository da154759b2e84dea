#include "state.h"

#include <algorithm>

namespace zod {

namespace {

// Handle value: slot index + 1 in the low 24 bits, the generation above them. The generation
// wraps within the bits a pointer has left (16 at most, 8 on a 32-bit build): one cut off
// in the handle would never match its slot again.
constexpr uintptr_t kIndexBits = 24;
constexpr uintptr_t kIndexMask = (uintptr_t(1) << kIndexBits) - 1;
constexpr uintptr_t kGenerationBits = std::min<uintptr_t>(16, sizeof(void*) * 8 - kIndexBits);
constexpr uint32_t kGenerationMask = (uint32_t(1) << kGenerationBits) - 1;

void* MakeHandle(uint32_t index, uint32_t generation) {
    uintptr_t value = (uintptr_t(generation) << kIndexBits) | (index + 1);
    return reinterpret_cast<void*>(value);
}

} // namespace

void* HandleTable::Add(HandleKind kind, std::unique_ptr<Object> object, bool stock) {
    uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        if (slots_.size() >= kIndexMask)
            return nullptr;
        index = static_cast<uint32_t>(slots_.size());
        slots_.emplace_back();
    }
    Slot& slot = slots_[index];
    slot.generation = (slot.generation + 1) & kGenerationMask;
    if (slot.generation == 0)
        slot.generation = 1;
    slot.kind = kind;
    slot.stock = stock;
    slot.object = std::move(object);
    return MakeHandle(index, slot.generation);
}

const HandleTable::Slot* HandleTable::SlotOf(const void* handle) const {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t index = value & kIndexMask;
    if (index == 0 || index > slots_.size())
        return nullptr;
    const Slot& slot = slots_[index - 1];
    if (!slot.object || slot.generation != (value >> kIndexBits))
        return nullptr;
    return &slot;
}

Object* HandleTable::Find(const void* handle, HandleKind kind) const {
    const Slot* slot = SlotOf(handle);
    return slot && slot->kind == kind ? slot->object.get() : nullptr;
}

HandleKind HandleTable::KindOf(const void* handle, bool* found) const {
    const Slot* slot = SlotOf(handle);
    *found = slot != nullptr;
    return slot ? slot->kind : HandleKind::Count;
}

bool HandleTable::Remove(const void* handle) {
    const Slot* found = SlotOf(handle);
    if (!found || found->stock)
        return false;
    Slot& slot = slots_[found - slots_.data()];
    ForgetPixelDc(); // SetPixel's copy of a context may be what goes
    // Destroy after unlinking, so a destructor never sees a half-removed slot.
    std::unique_ptr<Object> object = std::move(slot.object);
    free_.push_back(static_cast<uint32_t>(&slot - slots_.data()));
    return true;
}

int HandleTable::Live(HandleKind kind) const {
    return static_cast<int>(std::count_if(slots_.begin(), slots_.end(), [kind](const Slot& s) {
        return s.object && !s.stock && s.kind == kind;
    }));
}

std::vector<void*> HandleTable::All(HandleKind kind) const {
    std::vector<void*> result;
    for (uint32_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].object && slots_[i].kind == kind)
            result.push_back(MakeHandle(i, slots_[i].generation));
    return result;
}

void HandleTable::Clear() {
    // Keep generations, so handles from before the clear stay invalid.
    ForgetPixelDc();
    for (uint32_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].object) {
            slots_[i].object.reset();
            free_.push_back(i);
        }
    }
}

int LiveHandles(HandleKind kind) {
    return State().handles.Live(kind);
}

int LiveResourceHandles() {
    return LiveHandles(HandleKind::DeviceContext) + LiveHandles(HandleKind::Bitmap) +
           LiveHandles(HandleKind::Memory) + LiveHandles(HandleKind::File);
}

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (IsEmpty(r))
        return RECT{0, 0, 0, 0};
    return r;
}

bool IsEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT Union(const RECT& a, const RECT& b) {
    if (IsEmpty(a))
        return b;
    if (IsEmpty(b))
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

} // namespace zod
