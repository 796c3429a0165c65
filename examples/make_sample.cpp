// make-sample [--craft] OUT.opt: writes the bundled sample model, or with --craft the bundled
// craft.
#include <exception>
#include <iostream>
#include <string_view>

#include "core/file_io.h"
#include "tests/support/craft_model.h"
#include "tests/support/sample_model.h"

int main(int argc, char** argv) {
  const bool craft = argc == 3 && std::string_view(argv[1]) == "--craft";
  if (argc != 2 && !craft) {
    std::cerr << "usage: make-sample [--craft] OUT.opt\n";
    return 2;
  }
  try {
    const auto model = craft ? durvane::fixture::CraftModel() : durvane::fixture::SampleModel();
    const std::span<const std::byte> pieces[] = {model.bytes};
    durvane::WriteFileAtomically(argv[argc - 1], pieces);
  } catch (const std::exception& e) {
    std::cerr << "make-sample: error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
