// The rules for file names that come from input files, on this system and on Windows.
#include "core/file_names.h"

#include "core/run_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace durvane {
namespace {

TEST(FileNames, WindowsRefusesDeviceNamesAndNamesEndingInADotOrASpace) {
  struct Case {
    std::string name;
    bool refused;
  };
  for (const Case& c : {
           Case{"CON", true},
           Case{"con.bmp", true},
           Case{"Nul.TXT", true},
           Case{"aux", true},
           Case{"PRN.a.b", true},
           Case{"COM1", true},
           Case{"com9.bmp", true},
           Case{"LPT5.bmp", true},
           Case{"CON .bmp", true},
           Case{"HULL.", true},
           Case{"HULL ", true},
           Case{"\xff.bmp", true},
           Case{"\xc3(.bmp", true},
           Case{"\xc0\xaf.bmp", true},
           Case{"\xe0\x80\xaf.bmp", true},
           Case{"\xf0\x80\x80\xaf.bmp", true},
           Case{"\xed\xa0\x80.bmp", true},
           Case{"CONSOLE.bmp", false},
           Case{"COM10.bmp", false},
           Case{"COM0.bmp", false},
           Case{"LPT.bmp", false},
           Case{"x.CON", false},
           Case{"NULL.bmp", false},
           Case{"HULL0001.BMP", false},
           Case{"é-модель.bmp", false},
           Case{".hidden", false},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WindowsRefusesName(c.name), c.refused);
    // Here the rules hold only on Windows; the bytes themselves are fine everywhere.
    EXPECT_EQ(IsSafeFileName(c.name), !(kWindowsNames && c.refused));
  }
}

// Names that would leave the output folder or name no file at all, from a texture's name or
// from a run log.
TEST(FileNames, NamesThatAreNotOneFileOfTheFolderAreRefused) {
  for (const std::string& name :
       std::vector<std::string>{"", ".", "..", "a/b", "/abs", std::string("a\0b", 3)}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsSafeFileName(name));
    EXPECT_FALSE(IsSingleName(name));
  }
  for (const std::string name : {"..x", ".hidden", "a..b", "sample.prj"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsSafeFileName(name));
    EXPECT_TRUE(IsSingleName(name));
  }
}

// A model file's kind comes from its extension alone, in any letter case.
TEST(FileNames, AModelFilesKindIsToldByItsExtension) {
  struct Case {
    const char* path;
    ModelFileKind kind;
  };
  for (const Case& c :
       {Case{"ship.opt", ModelFileKind::kOpt}, Case{"dir.prj/Ship.OPT", ModelFileKind::kOpt},
        Case{"base.Prj", ModelFileKind::kPrj}, Case{"ship.opt.bak", ModelFileKind::kOther},
        Case{"ship", ModelFileKind::kOther}, Case{".opt", ModelFileKind::kOther},
        Case{"ship.op", ModelFileKind::kOther}}) {
    EXPECT_EQ(ModelFileKindOf(c.path), c.kind) << c.path;
  }
  EXPECT_EQ(AsciiLower("Ship\xC3\x89.OPT"), "ship\xC3\x89.opt");
}

TEST(FileNames, NamesThatDifferInLetterCaseShareAFileOnlyOnWindows) {
  EXPECT_EQ(FileNameKey("Hull.BMP") == FileNameKey("hull.bmp"), kWindowsNames);
  EXPECT_NE(FileNameKey("hull.bmp"), FileNameKey("hull2.bmp"));
  EXPECT_EQ(FileNameKey("hull.bmp"), "hull.bmp");
}

}  // namespace
}  // namespace durvane
