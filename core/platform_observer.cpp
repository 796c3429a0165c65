// The platform layer's test seam, shared by both implementations.
#include "core/platform.h"

namespace durvane::platform {
namespace {

OperationObserver& Observer() {
  static OperationObserver observer;
  return observer;
}

}  // namespace

void SetOperationObserver(OperationObserver observer) {
  Observer() = std::move(observer);
}

void NotifyOperation(Operation operation, const std::filesystem::path& name) {
  if (Observer()) Observer()(operation, name);
}

}  // namespace durvane::platform
