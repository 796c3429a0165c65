// Reaches up: the floor check must refuse this folder.
#include "core/error.h"
#include "render/renderer.h"
