// Reading input files whole (whole_file.h) and writing output files whole and atomically
// (staged_files.h), for callers that do both.
#pragma once

#include "core/staged_files.h"
#include "core/whole_file.h"
