// make-sample OUT.opt: writes the bundled sample model.
#include <exception>
#include <iostream>

#include "core/file_io.h"
#include "tests/support/sample_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make-sample OUT.opt\n";
    return 2;
  }
  try {
    const auto model = durvane::fixture::SampleModel();
    const std::span<const std::byte> pieces[] = {model.bytes};
    durvane::WriteFileAtomically(argv[1], pieces);
  } catch (const std::exception& e) {
    std::cerr << "make-sample: error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
