// Reading a model from an OPT file or a PRJ file.
#pragma once

#include <filesystem>

#include "render/model.h"

namespace durvane::render {

// Reads the model of an OPT or PRJ file (by its extension). A PRJ file is read through the PRJ
// layout walk and its bitmaps from the files beside it; an OPT file's polygons are read from
// its own bytes, corner by corner as a conversion looks them up, its PRJ file streamed but not
// kept (for the bitmap names, and to refuse what a conversion refuses), and its bitmaps are the
// conversion's own. A PRJ file and the OPT file it was converted from give the same model. Throws
// Error when the file cannot be read and FormatError when it breaks its layout, with the message
// `durvane info` gives for it.
Model LoadModelFile(const std::filesystem::path& path);

}  // namespace durvane::render
