// The table of live mappings that both systems' fault handlers search.
#include <array>
#include <atomic>
#include <utility>

#include "core/platform_map.h"

namespace durvane::platform {
namespace mapping_table {
namespace {

// One live mapping. A slot is free while `taken` is false; `begin` is 0 whenever the slot
// holds no mapping a fault may hit. Add stores `end` before `begin` (release) and Find loads
// `begin` (acquire) before `end`, so a handler that sees a slot's begin sees its end too.
struct Slot {
  std::atomic<bool> taken{false};
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  // 0: mapped; 1: a handler is replacing it; 2: replaced by zeros (cut short).
  std::atomic<int> state{0};
};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<std::uintptr_t>::is_always_lock_free,
              "a signal handler may only use lock-free atomics");

std::array<Slot, kMappingSlots> slots;

constexpr int kMapped = 0;
constexpr int kReplacing = 1;
constexpr int kCut = 2;

}  // namespace

int Add(std::uintptr_t begin, std::uintptr_t end) {
  for (int i = 0; i < kMappingSlots; ++i) {
    Slot& slot = slots[static_cast<std::size_t>(i)];
    bool expected = false;
    if (!slot.taken.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) continue;
    slot.state.store(kMapped, std::memory_order_relaxed);
    slot.end.store(end, std::memory_order_relaxed);
    slot.begin.store(begin, std::memory_order_release);
    return i;
  }
  return -1;
}

void Remove(int slot) {
  Slot& s = slots[static_cast<std::size_t>(slot)];
  s.begin.store(0, std::memory_order_release);
  s.taken.store(false, std::memory_order_release);
}

int Find(std::uintptr_t address, std::uintptr_t& begin, std::uintptr_t& end) {
  for (int i = 0; i < kMappingSlots; ++i) {
    const Slot& slot = slots[static_cast<std::size_t>(i)];
    const std::uintptr_t b = slot.begin.load(std::memory_order_acquire);
    if (b == 0 || address < b) continue;
    const std::uintptr_t e = slot.end.load(std::memory_order_relaxed);
    if (address >= e) continue;
    begin = b;
    end = e;
    return i;
  }
  return -1;
}

void MarkCut(int slot) {
  slots[static_cast<std::size_t>(slot)].state.store(kCut, std::memory_order_release);
}

bool IsCut(int slot) {
  return slots[static_cast<std::size_t>(slot)].state.load(std::memory_order_acquire) == kCut;
}

bool ClaimForReplacing(int slot) {
  int expected = kMapped;
  return slots[static_cast<std::size_t>(slot)].state.compare_exchange_strong(
      expected, kReplacing, std::memory_order_acq_rel);
}

}  // namespace mapping_table

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Unmap();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

bool MappedFile::cut_short() const {
  return slot_ >= 0 && mapping_table::IsCut(slot_);
}

}  // namespace durvane::platform
