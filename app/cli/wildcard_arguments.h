// The file arguments of a command with their wildcards expanded. Windows shells pass `*.opt` to
// the program as typed, so there the tool expands `*` and `?` in its file arguments itself, as
// Windows programs do. POSIX shells have expanded them before the tool starts, and a `*` that
// reaches it there is part of a real name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace durvane::cli {

// Whether the tool expands the wildcards in its file arguments itself: on Windows.
#ifdef _WIN32
inline constexpr bool kExpandsWildcards = true;
#else
inline constexpr bool kExpandsWildcards = false;
#endif

// A file argument that could not be expanded, and why.
struct WildcardFailure {
  std::string argument;
  std::string message;
};

// Replaces each file argument of `command` (by the command's option table: not an option nor an
// option's value) that holds `*` or `?` with the names of the files it matches
// (core/wildcard_pattern.h), sorted, each after the argument's folder part as typed. Wildcards
// may stand only in the last component; they match files, not folders, among those a listing
// shows (platform::ListedFiles: no hidden or system files). An argument that names an existing
// file as written is kept as it is. Once anything is expanded the arguments are the options as
// given, then "--", then the files, so that a name beginning with '-' stays a file.
//
// Returns each argument that matches nothing, or whose folder cannot be listed, with the reason;
// `args` is then left as it was. Arguments the option table refuses are left for the command to
// report as a usage error.
std::vector<WildcardFailure> ExpandWildcards(std::string_view command,
                                             std::vector<std::string>& args);

}  // namespace durvane::cli
