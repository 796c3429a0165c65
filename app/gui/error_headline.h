// The first sentence of an error dialog: the file by its full path and, in plain words, what
// is wrong with it. The library's precise message (offsets, fields) goes below it.
#pragma once

#include <QString>
#include <exception>

namespace durvane::gui {

// Why converting the OPT file at `opt_path` failed with the library's `message`.
QString ConversionHeadline(const QString& opt_path, const QString& message);

// Why folding `second` into `first` failed with `error`.
QString MergeHeadline(const QString& first, const QString& second, const std::exception& error);

}  // namespace durvane::gui
