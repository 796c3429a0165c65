#include <gtest/gtest.h>

#include <cstring>

#include "core/error.h"
#include "core/file_io.h"
#include "tests/support/temp_dir.h"

namespace durvane {
namespace {

void Write(const std::filesystem::path& path, std::string_view text) {
  fixture::WriteBytes(path, std::as_bytes(std::span(text)));
}

TEST(MappedFile, GivesTheWholeFileAsReadFileDoes) {
  fixture::TempDir folder;
  std::string text;
  for (int i = 0; i < 100'000; ++i) text += static_cast<char>(i * 31);
  Write(folder.path() / "a.opt", text);
  const MappedFile mapped(folder.path() / "a.opt");
  const std::vector<std::byte> read = ReadFile(folder.path() / "a.opt");
  ASSERT_EQ(mapped.bytes().size(), text.size());
  ASSERT_EQ(read.size(), text.size());
  EXPECT_EQ(std::memcmp(mapped.bytes().data(), text.data(), text.size()), 0);
  EXPECT_EQ(std::memcmp(read.data(), text.data(), text.size()), 0);
}

TEST(MappedFile, EmptyFileGivesNoBytes) {
  fixture::TempDir folder;
  Write(folder.path() / "empty.opt", "");
  EXPECT_TRUE(MappedFile(folder.path() / "empty.opt").bytes().empty());
}

TEST(MappedFile, RefusesMissingFilesAndFoldersNamingThem) {
  fixture::TempDir folder;
  try {
    MappedFile missing(folder.path() / "missing.opt");
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("missing.opt': No such file"), std::string::npos)
        << e.what();
  }
  try {
    MappedFile folder_itself(folder.path());
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("it is a directory"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace durvane
