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

namespace durvane {
namespace {

TEST(MappedFile, PrivateCopyChangesNeverReachTheFile) {
  fixture::TempDir folder;
  fixture::WriteBytes(folder / "a.prj", std::as_bytes(std::span(std::string_view("abcdef"))));
  {
    MappedFile copy(folder / "a.prj", MappedFile::Access::kPrivateCopy);
    MappedFile shared(folder / "a.prj");
    ASSERT_EQ(copy.private_bytes().size(), 6u);
    copy.private_bytes()[0] = std::byte{'Z'};
    EXPECT_EQ(copy.bytes()[0], std::byte{'Z'});
    EXPECT_EQ(shared.bytes()[0], std::byte{'a'});
    EXPECT_TRUE(shared.private_bytes().empty());  // a read-only mapping gives nothing to change
  }
  EXPECT_EQ(fixture::ReadBytes(folder / "a.prj")[0], std::byte{'a'});
}

}  // namespace
}  // namespace durvane
