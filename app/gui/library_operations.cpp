#include "app/gui/operations.h"

namespace durvane::gui {

Operations LibraryOperations() {
  return {&RunConversion, &merge::MergePrj};
}

}  // namespace durvane::gui
