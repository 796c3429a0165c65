// Merging one file into another, as most merge tests do: MergePrjFiles with one file to fold in.
#pragma once

#include <filesystem>
#include <span>

#include "usecases/merge_run.h"

namespace durvane::merge {

inline MergeResult MergePrj(const std::filesystem::path& first, const std::filesystem::path& second,
                            Durability durability = Durability::kSync,
                            const LockWait& lock_wait = {}) {
  return MergePrjFiles(first, std::span(&second, 1), durability, lock_wait);
}

}  // namespace durvane::merge
