// The bundled craft model: a small spacecraft with a tapered hull, two wings, tailplanes, a fin,
// a cockpit canopy and two engines, each part painted with its own procedurally drawn texture
// (panel lines, rivets, stripes, markings). It is the example that looks like a model in the
// pictures; examples/craft.opt is this model, written by make-sample.
#pragma once

#include "tests/support/opt_builder.h"

namespace durvane::fixture {

// Every value is worked out with additions, multiplications, divisions and integer arithmetic
// only, so that every compiler and system builds the same bytes.
BuiltOpt CraftModel();

}  // namespace durvane::fixture
