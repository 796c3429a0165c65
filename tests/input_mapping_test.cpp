// Inputs mapped into memory: a file cut short or rewritten while it is worked on fails that file
// alone, with its own message and nothing written, and the other files of a batch go on; a
// fault outside every mapping still ends the process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/platform_map.h"
#include "core/whole_file.h"
#include "usecases/batch_conversion.h"
#include "usecases/conversion_run.h"
#include "render/renderer.h"
#include "usecases/model_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workload_model.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace durvane {
namespace {

using fixture::TempDir;

constexpr const char* kCut = "the file was cut short while it was read";
constexpr const char* kChanged = "another program changed it while it was being read";

// For the life of the object every non-empty input is mapped, and `during` runs with each one
// between its mapping and the first read of it.
class MappedInputs {
 public:
  explicit MappedInputs(std::function<void(const InputBytes&)> during = {}) {
    SetMapFromBytes(1);
    SetInputBytesObserver([this, during = std::move(during)](const InputBytes& input) {
      all_mapped_ = all_mapped_ && input.mapped();
      if (during) during(input);
    });
  }
  MappedInputs(const MappedInputs&) = delete;
  MappedInputs& operator=(const MappedInputs&) = delete;
  ~MappedInputs() {
    SetInputBytesObserver({});
    SetMapFromBytes(kMapBytes);
  }
  bool all_mapped() const { return all_mapped_; }

 private:
  bool all_mapped_ = true;
};

// Shortens the file under `input` to `size` bytes, as another program would. Windows refuses to
// shorten a mapped file; what remains there is a read of the view that fails (a network share
// gone, a disk pulled), raised as the system raises it, at the first byte past the cut.
void Cut(const InputBytes& input, std::size_t size) {
#ifdef _WIN32
  EXPECT_THROW(std::filesystem::resize_file(input.path(), size), std::filesystem::filesystem_error);
  platform::RaiseInPageError(input.bytes().data() + std::min(size, input.bytes().size() - 1));
#else
  std::filesystem::resize_file(input.path(), size);
#endif
}

std::vector<std::byte> Model() {
  return fixture::WorkloadModel(fixture::MediumModelShape(5)).bytes;
}

std::string ErrorOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(InputMapping, ReadsPastACutSeeZerosAndTheCheckNamesTheCut) {
  TempDir dir;
  std::vector<std::byte> bytes(5 * 4096 + 100);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::byte>(i % 251 + 1);
  struct Case {
    std::size_t cut;
    std::size_t read_at;  // a byte past the cut
  };
  // Whole pages gone fault when read; the rest of a page the file still reaches reads zeros
  // without a fault, and only the file's size tells.
  const Case cases[] = {{0, 0},
                        {4096, 3 * 4096 + 5},
                        {2 * 4096 + 10, 2 * 4096 + 10},
                        {bytes.size() - 1, bytes.size() - 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cut);
    const auto path = dir / "input.bin";
    fixture::WriteBytes(path, bytes);
    const MappedInputs mapped;
    const InputBytes input(path);
    ASSERT_TRUE(input.mapped());
    EXPECT_NO_THROW(input.CheckUnchanged());
    Cut(input, c.cut);
    const std::span<const std::byte> seen = input.bytes();
    ASSERT_EQ(seen.size(), bytes.size());
    EXPECT_EQ(seen[c.read_at], std::byte{0});
#ifndef _WIN32
    // Windows puts zeros in place of the whole view.
    if (c.cut > 0) {
      EXPECT_EQ(seen[c.cut - 1], bytes[c.cut - 1]);
    }
#endif
    const std::string error = ErrorOf([&] { input.CheckUnchanged(); });
    EXPECT_NE(error.find(kCut), std::string::npos) << error;
    EXPECT_NE(error.find("input.bin"), std::string::npos) << error;
  }
}

// Records what a batch did with each file.
class Outcomes : public BatchObserver {
 public:
  void FileFailed(std::size_t index, const std::string& error) override {
    errors.resize(std::max(errors.size(), index + 1));
    errors[index] = error;
  }
  void FileFinished(std::size_t index, const ConversionResult&) override {
    errors.resize(std::max(errors.size(), index + 1));
    errors[index] = "converted";
  }
  std::vector<std::string> errors;
};

TEST(InputMapping, AFileCutShortWhileConvertedFailsAloneAndWritesNothing) {
  const std::vector<std::byte> model = Model();
  ASSERT_GT(model.size(), std::size_t{64} << 10);
  // At the start, in the middle (the texture scan reads on, the polygon walk meets the cut),
  // and by one byte, which no read faults on.
  for (const std::size_t cut : {std::size_t{0}, model.size() / 2, model.size() - 1}) {
    SCOPED_TRACE(cut);
    TempDir dir;
    std::filesystem::create_directory(dir / "qel");
    fixture::WriteBytes(dir / "cut.opt", model);
    fixture::WriteBytes(dir / "whole.opt", model);
    const MappedInputs mapped([&](const InputBytes& input) {
      if (input.path().filename() == "cut.opt") Cut(input, cut);
    });
    Outcomes outcomes;
    BatchOptions options;
    options.qel_directory = dir / "qel";
    options.jobs = 2;
    options.durability = Durability::kNoSync;
    EXPECT_FALSE(ConvertFiles({dir / "cut.opt", dir / "whole.opt"}, options, outcomes));
    EXPECT_TRUE(mapped.all_mapped());
    ASSERT_EQ(outcomes.errors.size(), 2u);
    EXPECT_NE(outcomes.errors[0].find(kCut), std::string::npos) << outcomes.errors[0];
    EXPECT_EQ(outcomes.errors[1], "converted");
    EXPECT_FALSE(std::filesystem::exists(dir / "qel" / "cut"));
    EXPECT_TRUE(std::filesystem::exists(dir / "qel" / "whole" / "whole.prj"));
  }
}

TEST(InputMapping, AFileCutShortWhileLoadedIsNotDrawn) {
  TempDir dir;
  fixture::WriteBytes(dir / "model.opt", Model());
  const MappedInputs mapped([](const InputBytes& input) { Cut(input, 100); });
  const std::string error = ErrorOf([&] { render::LoadModelFile(dir / "model.opt"); });
  EXPECT_NE(error.find(kCut), std::string::npos) << error;
  EXPECT_TRUE(mapped.all_mapped());
}

TEST(InputMapping, AFileCutShortAfterLoadingIsNotDrawn) {
  TempDir dir;
  fixture::WriteBytes(dir / "model.opt", Model());
  const InputBytes* input = nullptr;
  const MappedInputs mapped([&input](const InputBytes& bytes) { input = &bytes; });
  const render::Model model = render::LoadModelFile(dir / "model.opt");
  ASSERT_NE(input, nullptr);
  Cut(*input, 100);
  const std::string error = ErrorOf([&] { render::Render(model, render::RenderOptions{}); });
  EXPECT_NE(error.find(kCut), std::string::npos) << error;
}

TEST(InputMapping, AFileRewrittenInPlaceWhileConvertedIsRefusedAndTheOldOutputKept) {
  const std::vector<std::byte> model = Model();
  struct Case {
    const char* what;
    std::function<void(std::fstream&)> change;
  };
  const Case cases[] = {
      {"one byte changed, same size",
       [&](std::fstream& f) {
         f.seekp(static_cast<std::streamoff>(model.size() / 3));
         f.put(static_cast<char>(~static_cast<unsigned char>(model[model.size() / 3])));
       }},
      {"grown by a byte",
       [](std::fstream& f) {
         f.seekp(0, std::ios::end);
         f.put('x');
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const auto opt = dir / "ship.opt";
    fixture::WriteBytes(opt, model);
    RunConversion(dir.path(), dir.path(), "ship.opt", Durability::kNoSync);
    const std::vector<std::byte> before = ReadFile(dir / "ship" / "ship.prj");
    // An older time, so that the change shows in it however coarse the file system's clock.
    std::filesystem::last_write_time(opt,
                                     std::filesystem::last_write_time(opt) - std::chrono::hours(1));
    const MappedInputs mapped([&](const InputBytes& input) {
      std::fstream f(input.path(), std::ios::in | std::ios::out | std::ios::binary);
      c.change(f);
    });
    const std::string error =
        ErrorOf([&] { RunConversion(dir.path(), dir.path(), "ship.opt", Durability::kNoSync); });
    EXPECT_NE(error.find(kChanged), std::string::npos) << error;
    EXPECT_EQ(ReadFile(dir / "ship" / "ship.prj"), before);
  }
}

#ifndef _WIN32
// Windows has no SIGBUS; its faults outside the views never reach the handler's table.
TEST(InputMappingDeathTest, AFaultOutsideEveryMappingStillEndsTheProcess) {
  TempDir dir;
  const auto path = dir / "elsewhere.bin";
  fixture::WriteBytes(path, std::vector<std::byte>(3 * 4096, std::byte{7}));
  const MappedInputs mapped;
  const InputBytes input(path);  // the handler is in place
  ASSERT_TRUE(input.mapped());
  EXPECT_DEATH(
      {
        const int fd = ::open(path.c_str(), O_RDONLY);
        void* p = ::mmap(nullptr, 3 * 4096, PROT_READ, MAP_SHARED, fd, 0);
        if (p == MAP_FAILED || ::ftruncate(::open(path.c_str(), O_RDWR), 0) != 0) return;
        const volatile unsigned char* bytes = static_cast<const unsigned char*>(p);
        static_cast<void>(bytes[4096]);
      },
      "");
}
#endif

}  // namespace
}  // namespace durvane
