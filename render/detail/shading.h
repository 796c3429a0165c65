// Shading: each drawn pixel painted from the triangle drawn there, lit by its face direction
// against one light and coloured from its bitmap or in the flat colour.
#pragma once

#include <cstdint>
#include <functional>

#include "render/detail/camera.h"
#include "render/detail/rasterizer.h"

namespace durvane::render::detail {

// Light reaching a face turned away from the light; the rest depends on its direction.
inline constexpr float kAmbient = 0.3f;

// The light on a face whose direction (not normalised, not zero) is `normal`.
float FaceLight(Vec normal, const Camera& camera);

// Paints every pixel of `drawn` from the triangle whose number it holds, once each, and
// returns the picture. `polygon_of` gives the index in `model` of the polygon drawn
// `number`th; `flat` paints every polygon in kFlatColour.
Image Shade(DrawnPicture drawn, const Model& model, const Camera& camera, bool flat,
            const std::function<std::size_t(std::uint32_t number)>& polygon_of);

}  // namespace durvane::render::detail
