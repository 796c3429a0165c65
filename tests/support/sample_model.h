// The bundled sample model: a small OPT file that exercises every node kind the converter
// reads. examples/sample.opt is this model, written by make-sample.
#pragma once

#include "tests/support/opt_builder.h"

namespace durvane::fixture {

BuiltOpt SampleModel();

}  // namespace durvane::fixture
