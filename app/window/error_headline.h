// The first sentence of an error dialog: the file by its full path and, in plain words, what
// is wrong with it. The library's precise message (offsets, fields) goes below it.
#pragma once

#include <exception>
#include <string>

namespace durvane::window {

// Why converting the OPT file at `opt_path` failed with the library's `message`.
std::string ConversionHeadline(const std::string& opt_path, const std::string& message);

// Why folding `second` into `first` failed with `error`.
std::string MergeHeadline(const std::string& first, const std::string& second,
                          const std::exception& error);

}  // namespace durvane::window
