// make-workload [--seed N] WORKLOAD DIR: writes the OPT files of a benchmark workload into DIR.
//   w1  DIR/w1.opt: about 1,000,000 polygons, 64 textures of 256 by 256
//   w2  DIR/w2_first.opt and DIR/w2_second.opt: two models like w1, to convert and merge
//   w3  DIR/w3_01.opt to DIR/w3_16.opt: 16 models of about 5 MB
//   w4  DIR/w4_1.opt to DIR/w4_8.opt: 8 models whose PRJ files are about 25 MB, to merge
// The same seed always gives the same files.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/file_io.h"
#include "tests/support/workload_model.h"

namespace {

using durvane::fixture::WorkloadShape;

void WriteModel(const WorkloadShape& shape, const std::filesystem::path& path) {
  const durvane::fixture::BuiltOpt model = durvane::fixture::WorkloadModel(shape);
  const std::span<const std::byte> pieces[] = {model.bytes};
  durvane::WriteFileAtomically(path, pieces);
  std::cout << "made " << path.string() << " (" << model.bytes.size() << " bytes)\n";
}

constexpr const char* kUsage = "usage: make-workload [--seed N] w1|w2|w3|w4 DIR\n";

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t seed = 1;
  int at = 1;
  try {
    if (argc - at >= 2 && std::string(argv[at]) == "--seed") {
      seed = std::stoull(argv[at + 1]);
      at += 2;
    }
  } catch (const std::exception&) {
    std::cerr << kUsage;
    return 2;
  }
  if (argc - at != 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string workload = argv[at];
  const std::filesystem::path dir = argv[at + 1];
  try {
    std::filesystem::create_directories(dir);
    if (workload == "w1") {
      WriteModel(durvane::fixture::LargeModelShape(seed), dir / "w1.opt");
    } else if (workload == "w2") {
      WriteModel(durvane::fixture::LargeModelShape(seed + 101), dir / "w2_first.opt");
      WriteModel(durvane::fixture::LargeModelShape(seed + 202), dir / "w2_second.opt");
    } else if (workload == "w3") {
      for (int i = 1; i <= 16; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "w3_%02d.opt", i);
        WriteModel(durvane::fixture::MediumModelShape(seed + 1000 + i), dir / name);
      }
    } else if (workload == "w4") {
      for (int i = 1; i <= 8; ++i) {
        const std::string name = "w4_" + std::to_string(i) + ".opt";
        WriteModel(durvane::fixture::MergePartShape(seed + 2000 + i), dir / name);
      }
    } else {
      std::cerr << kUsage;
      return 2;
    }
  } catch (const std::exception& e) {
    std::cerr << "make-workload: error: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
