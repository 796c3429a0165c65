// Reaches into another floor's own headers.
#include "render/detail/rasterizer.h"
