#include "opt/walk_budget.h"

#include <string>

#include "core/error.h"

namespace durvane::opt {

void WalkBudget::ThrowExhausted() const {
  throw Error(
      "the node tree refers to the same lists so often that walking it would visit "
      "more than " +
      std::to_string(total_) + " entries, far more than the file can hold; refusing it");
}

}  // namespace durvane::opt
