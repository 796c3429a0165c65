// Fuzz entry point for the commands that write files: a conversion or a merge run on files in a
// folder of this process, over earlier files, with an optional failure planted in the replace.
// Byte 0 chooses the command (bit 0) and the replace step at which the planted failure stops
// the run (bits 1 to 7; 0 plants none). Convert: the rest is the OPT file, converted over an
// earlier output and a file of the user's; it is mapped into memory, as large OPT files are.
// Merge: bytes 1 to 4 give where FIRST ends, the rest is FIRST and SECOND.
//
// Every input must leave the folder all old or all new: a run that fails does so with
// durvane::Error and leaves every file as it was; a run that succeeds leaves exactly the files
// the in-memory conversion or merge gives, every other file as it was. No temporary file, backup
// or run log may remain either way.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "core/little_endian.h"
#include "tests/support/merge_pair.h"
#include "usecases/merge_run.h"
#include "usecases/conversion_run.h"
#include "prj/prj_layout_reader.h"
#include "tests/support/in_memory_merge.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::byte>;
using Tree = std::map<std::string, Bytes>;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "file_fuzzer: broken invariant: %s\n", what);
  std::abort();
}

// A folder of this process, in memory where the system has such a file system.
const fs::path& WorkFolder() {
  static const fs::path folder = [] {
    std::error_code ec;
    const fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    auto path = base / ("durvane-file-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(path);
    return path;
  }();
  return folder;
}

Bytes Text(const std::string& text) {
  const auto bytes = std::as_bytes(std::span(text));
  return {bytes.begin(), bytes.end()};
}

void Write(const fs::path& path, std::span<const std::byte> bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "cannot create a fixture file");
  Check(bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(),
        "cannot write a fixture file");
  Check(std::fclose(f) == 0, "cannot close a fixture file");
}

// Every file under a folder, by its path relative to it, with its bytes.
Tree ReadTree(const fs::path& folder) {
  Tree tree;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const Bytes bytes = durvane::ReadFile(entry.path());
    tree[fs::relative(entry.path(), folder).string()] = bytes;
  }
  return tree;
}

// Makes the folder hold exactly `tree`.
void ResetFolder(const fs::path& folder, const Tree& tree) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  for (const auto& [name, bytes] : tree) {
    fs::create_directories((folder / name).parent_path());
    Write(folder / name, bytes);
  }
}

// Throws at replace step `step` of every commit, for the duration of one run: before a file's
// backup and rename, or after the last rename. Not after the "done" mark (step n + 1 of n
// files), where the replacement is complete and nothing can fail; a process killed there is
// the kill tests' case.
struct PlantedFailure {
  explicit PlantedFailure(unsigned step) {
    if (step == 0) return;
    auto staged = std::make_shared<std::size_t>(0);
    durvane::SetCommitStepObserver([step, staged](durvane::CommitStep at, std::size_t n) {
      if (at == durvane::CommitStep::kStaged) *staged = n + 1;
      if (at == durvane::CommitStep::kReplace && n + 1 == step && n <= *staged) {
        throw durvane::Error("planted failure");
      }
    });
  }
  ~PlantedFailure() { durvane::SetCommitStepObserver({}); }
};

// Runs `run` with the planted failure. Returns true when it succeeded; when it failed, which it
// may only do with durvane::Error, checks that `root` holds exactly `before` and returns false.
bool RunAllOrNothing(const fs::path& root, const Tree& before, unsigned failure_step,
                     const char* what, const std::function<void()>& run) {
  try {
    const PlantedFailure planted(failure_step);
    run();
    return true;
  } catch (const durvane::Error&) {
  }
  if (ReadTree(root) != before) {
    std::fprintf(stderr, "file_fuzzer: a failed %s changed the folder\n", what);
    std::abort();
  }
  return false;
}

void FuzzConversion(std::span<const std::byte> opt, unsigned failure_step) {
  const fs::path root = WorkFolder() / "convert";
  // An earlier output: a PRJ file and a bitmap, and a file of the user's beside them.
  const Tree before = {{"in/model.opt", Bytes(opt.begin(), opt.end())},
                       {"qel/model/model.prj", Text("old PRJ file")},
                       {"qel/model/TEX00000.BMP", Text("old bitmap")},
                       {"qel/model/notes.txt", Text("the user's notes")}};
  ResetFolder(root, before);

  durvane::ConversionResult result;
  const bool succeeded = RunAllOrNothing(root, before, failure_step, "conversion", [&] {
    result = durvane::RunConversion(root / "qel", root / "in", "model.opt",
                                    durvane::Durability::kNoSync);
  });
  if (!succeeded) return;
  const Tree after = ReadTree(root);

  Tree expected = before;
  const durvane::ConvertedModel model = durvane::ConvertOpt(opt);
  expected["qel/model/model.prj"] = model.prj.Flatten();
  for (const durvane::opt::TextureBitmap& t : model.textures) {
    if (!t.HasSafeFileName()) continue;
    Bytes bitmap(t.header.begin(), t.header.end());
    bitmap.insert(bitmap.end(), t.pixels.begin(), t.pixels.end());
    expected["qel/model/" + t.FileName()] = bitmap;  // a name met twice: the last texture's
  }
  Check(after == expected, "a conversion left other files than its output");
  for (const fs::path& bitmap : result.bitmaps) {
    Check(expected.count(fs::relative(bitmap, root).string()) == 1,
          "a conversion reported a bitmap it did not write");
  }
}

void FuzzMerge(std::span<const std::byte> data, unsigned failure_step) {
  if (data.size() < 4) return;
  const std::uint32_t cut = durvane::LoadU32(data.data()) % (data.size() - 4 + 1);
  const std::span<const std::byte> first = data.subspan(4, cut);
  const std::span<const std::byte> second = data.subspan(4 + cut);
  const fs::path root = WorkFolder() / "merge";
  const Tree before = {{"first.prj", Bytes(first.begin(), first.end())},
                       {"second.prj", Bytes(second.begin(), second.end())}};
  ResetFolder(root, before);

  const bool succeeded = RunAllOrNothing(root, before, failure_step, "merge", [&] {
    durvane::merge::MergePrj(root / "first.prj", root / "second.prj", durvane::Durability::kNoSync);
  });
  if (!succeeded) return;
  const Tree after = ReadTree(root);

  // Both files read as PRJ files, or the merge could not have succeeded.
  Bytes second_copy(second.begin(), second.end());
  const Bytes merged =
      durvane::fixture::MergePrjImages(first, durvane::prj::ReadPrjLayout(first), second_copy,
                                       durvane::prj::ReadPrjLayout(second))
          .Flatten();
  Tree expected = before;
  expected["first.prj"] = merged;
  Check(after == expected, "a merge left other bytes than the merged file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Every OPT file is mapped, as large ones are, so that the conversion walks mapped bytes.
  static const bool map_every_input = [] {
    durvane::SetMapFromBytes(1);
    return true;
  }();
  static_cast<void>(map_every_input);
  if (size < 1) return 0;
  const auto bytes = std::as_bytes(std::span(data, size));
  const unsigned failure_step = static_cast<unsigned>(data[0]) >> 1;
  if ((data[0] & 1) == 0) {
    FuzzConversion(bytes.subspan(1), failure_step);
  } else {
    FuzzMerge(bytes.subspan(1), failure_step);
  }
  return 0;
}
