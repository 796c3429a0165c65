// A bound on the work a walk of the node tree may do. Nodes may be shared, so a small file
// could make a walk visit the same lists again and again without end; the budget grows with
// the file's size and refuses any walk that would do far more work than the file can hold.
#pragma once

#include <cstdint>

#include "opt/opt_image.h"

namespace durvane::opt {

class WalkBudget {
 public:
  // Each byte of the file pays for kStepsPerByte list entries or polygon rows visited.
  static constexpr std::uint64_t kStepsPerByte = 16;
  static constexpr std::uint64_t kMinimumSteps = std::uint64_t{1} << 20;

  explicit WalkBudget(const OptImage& image)
      : left_(kMinimumSteps + kStepsPerByte * image.view().size()), total_(left_) {}

  // Takes `steps` from the budget; throws Error when it runs out.
  void Spend(std::int64_t steps) {
    if (steps <= 0) return;
    if (static_cast<std::uint64_t>(steps) > left_) ThrowExhausted();
    left_ -= static_cast<std::uint64_t>(steps);
  }

  // Takes `steps` from the budget when enough is left; returns false, taking nothing, when not.
  bool TrySpend(std::uint64_t steps) {
    if (steps > left_) return false;
    left_ -= steps;
    return true;
  }

  // The budget the walk started with.
  std::uint64_t total() const { return total_; }

 private:
  [[noreturn]] void ThrowExhausted() const;
  std::uint64_t left_;
  std::uint64_t total_;
};

}  // namespace durvane::opt
