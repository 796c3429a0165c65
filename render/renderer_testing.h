// The renderer's entry points for checking its shortcuts and its vector code against the
// plain drawing. Tests and fuzzers only.
#pragma once

#include <string_view>

#include "render/renderer.h"

namespace durvane::render {

// The same rendering drawn the slow way: every triangle over every pixel of its box, none
// turned away by the depths drawn before it.
Rendering RenderExhaustively(const Model& model, const RenderOptions& options);

// The same rendering without the vector instructions some processors have: as drawn on those
// without them.
Rendering RenderPortably(const Model& model, const RenderOptions& options);

// The code Render takes on this build and processor: "avx2" or "portable".
std::string_view RenderPath();

}  // namespace durvane::render
