// Large, realistic OPT models for the benchmarks, made deterministically from a seed: many
// top-level nodes, vertex and pair lists, quads and triangles, textures in both layouts,
// texture references and texture groups, and nodes of types 22, 23, 25 and 28 under every
// top-level node.
#pragma once

#include <cstdint>

#include "tests/support/opt_builder.h"

namespace durvane::fixture {

struct WorkloadShape {
  std::uint64_t seed = 1;
  int top_level_nodes = 200;
  int lists_per_node = 5;         // polygon lists under each top-level node's group
  int polygons_per_list = 1000;   // rows per polygon list
  int vertices_per_table = 2000;  // rows of each vertex list and each pair list
  int textures = 64;              // distinct texture nodes the texture scan reaches
  int texture_side = 256;         // textures are texture_side by texture_side pixels
};

// W1: about 1,000,000 polygons under 200 top-level nodes and 64 textures of 256 by 256.
WorkloadShape LargeModelShape(std::uint64_t seed);
// One of W3's files: about 5 MB.
WorkloadShape MediumModelShape(std::uint64_t seed);
// One of W4's files, to merge: a PRJ file of about 25 MB.
WorkloadShape MergePartShape(std::uint64_t seed);

// Lays the model out. The same shape always gives the same bytes.
BuiltOpt WorkloadModel(const WorkloadShape& shape);

}  // namespace durvane::fixture
