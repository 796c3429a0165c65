// Wildcard patterns as the Windows build reads its file arguments: what matches, in what order.
#include "core/wildcard_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace durvane {
namespace {

TEST(WildcardPattern, MatchesAsWindowsDoesRegardlessOfLetterCase) {
  struct Case {
    std::string pattern;
    std::string name;
    bool matches;
  };
  for (const Case& c : {
           Case{"*.opt", "ship.opt", true},
           Case{"*.opt", "SHIP.OPT", true},
           Case{"*.OPT", "ship.opt", true},
           Case{"*.opt", "ship.opt2", false},
           Case{"*.opt", "ship.op", false},
           Case{"*.opt", ".opt", true},
           Case{"*", "", true},
           Case{"s*p*.opt", "ship.prj.opt", true},
           Case{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
           Case{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", true},
           Case{"?.opt", "a.opt", true},
           Case{"?.opt", ".opt", false},
           Case{"?.opt", "ab.opt", false},
           // ? is one character, however many bytes it takes in UTF-8.
           Case{"?koda.opt", "\xc5\xa0koda.opt", true},
           Case{"??koda.opt", "\xc5\xa0koda.opt", false},
           Case{"?.opt", "\xf0\x9f\x9a\x80.opt", true},
           // Capitals outside ASCII: Š and š, Ñ and ñ, Ω and ω, Я and я, Ё and ё, Ÿ and ÿ.
           Case{"\xc5\xa0*", "\xc5\xa1koda", true},
           Case{"*\xc3\x91*", "and\xc3\xb1", true},
           Case{"\xce\xa9", "\xcf\x89", true},
           Case{"\xd0\xaf", "\xd1\x8f", true},
           Case{"\xd0\x81", "\xd1\x91", true},
           Case{"\xc5\xb8", "\xc3\xbf", true},
           // Ĺ (U+0139) and ĺ, where the alternation of capitals and small letters shifts.
           Case{"\xc4\xb9", "\xc4\xba", true},
           Case{"\xc4\xba", "\xc4\xbb", false},
           // × and ÷ are no letters; İ is not the capital of ı.
           Case{"\xc3\x97", "\xc3\xb7", false},
           Case{"\xc4\xb0", "\xc4\xb1", false},
           // A trailing .* also matches names without a dot, as on Windows.
           Case{"*.*", "README", true},
           Case{"ship.*", "ship", true},
           Case{"ship.*", "ships", false},
           // Bytes that are not UTF-8 match only themselves, never through a fold.
           Case{"?.opt", "\xff.opt", true},
           Case{"\xff*", "\xff.opt", true},
           Case{"\xdf*", "\xff.opt", false},
       }) {
    SCOPED_TRACE("'" + c.pattern + "' against '" + c.name + "'");
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches);
  }
}

TEST(WildcardPattern, SplitsAPathBeforeItsLastComponentAsTyped) {
  struct Case {
    std::string path;
    std::string folder;
    std::string name;
  };
  for (const Case& c : {
           Case{"*.opt", "", "*.opt"},
           Case{"models\\*.opt", "models\\", "*.opt"},
           Case{"a/b\\c*.opt", "a/b\\", "c*.opt"},
           Case{"C:*.opt", "C:", "*.opt"},
           Case{"C:\\*.opt", "C:\\", "*.opt"},
           Case{"1:*.opt", "", "1:*.opt"},
           Case{"models\\", "models\\", ""},
       }) {
    SCOPED_TRACE(c.path);
    const PathTail tail = SplitLastComponent(c.path);
    EXPECT_EQ(tail.folder, c.folder);
    EXPECT_EQ(tail.name, c.name);
  }
}

TEST(WildcardPattern, FindsWildcardsInFoldersButNotInTheLongPathPrefix) {
  struct Case {
    std::string folder;
    bool wildcard;
  };
  for (const Case& c : {
           Case{"", false},
           Case{"models\\", false},
           Case{"mod?ls\\", true},
           Case{"*\\", true},
           Case{"\\\\?\\C:\\models\\", false},
           Case{"\\\\?\\C:\\mod*\\", true},
           Case{"\\\\?\\?\\", true},
           Case{"\\\\.\\?\\", true},
       }) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(FolderHasWildcard(c.folder), c.wildcard);
  }
}

TEST(WildcardPattern, SelectsTheMatchesInOneOrderWhateverTheListingGave) {
  const std::vector<std::string> expected = {"a.opt", "B.opt", "b.opt", "c.OPT", "\xc3\xa9.opt"};
  for (const std::vector<std::string>& listing : {
           std::vector<std::string>{"c.OPT", "b.opt", "x.prj", "B.opt", "\xc3\xa9.opt", "a.opt"},
           std::vector<std::string>{"\xc3\xa9.opt", "a.opt", "B.opt", "c.OPT", "b.opt", "x.prj"},
       }) {
    EXPECT_EQ(SelectMatches("*.opt", listing), expected);
  }
  EXPECT_TRUE(SelectMatches("*.bmp", {"a.opt", "b.prj"}).empty());
}

}  // namespace
}  // namespace durvane
