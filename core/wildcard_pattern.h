// Wildcard patterns as Windows programs read them: `*` stands for any run of characters, `?`
// for one character, and letters compare without regard to case. Windows shells pass a pattern
// such as `*.opt` to the program as typed, so the Windows build expands its file arguments
// itself with these; the folder listing they select from is the platform layer's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace durvane {

// Whether `text` holds `*` or `?`.
bool HasWildcard(std::string_view text);

// A path split before its last component: `folder` is everything up to and including the last
// `\` or `/` (or a drive's "C:" when there is no separator), exactly as typed; `name` is the
// rest. Both separators count, as both do on Windows.
struct PathTail {
  std::string_view folder;
  std::string_view name;
};
PathTail SplitLastComponent(std::string_view path);

// Whether the folder part of a path holds `*` or `?`, the `?` of the prefix \\?\ (a path past
// Windows' usual length limit) aside.
bool FolderHasWildcard(std::string_view folder);

// Whether the file name `name` matches `pattern`, both UTF-8. `*` matches any run of characters,
// the empty one included, `?` exactly one character (not one byte), and every other character
// itself, letters regardless of case (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic
// capitals fold to their small letters). A pattern that ends in ".*" also matches what it
// matches without those two characters, so that `*.*` matches every name, with or without a
// dot, as on Windows. Bytes that are not UTF-8 match only the same bytes.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// The names that match `pattern`, sorted by their letters regardless of case, names equal in
// that order by their bytes: the same order whatever order the listing gave.
std::vector<std::string> SelectMatches(std::string_view pattern, std::vector<std::string> names);

}  // namespace durvane
