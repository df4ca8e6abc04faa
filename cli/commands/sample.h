// The built-in sample: a small asymmetric picture at every depth, so that any mix-up of axes,
// bit order or colour order shows at a glance.
#pragma once

#include "dib/host_port.h"

// A new sample image of the given depth (1, 4, 8, 24 or 32); the caller owns the block.
HostBlock MakeSampleImage(unsigned bits);
