// tinygltf's implementation, compiled once for the whole program; its settings (no image
// coding, no file system) are the durvane_tinygltf target's. Its file-writing functions still
// name std::ofstream, which TINYGLTF_NO_FS leaves undeclared; they are never called.
#include <fstream>

#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
