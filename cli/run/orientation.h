// EXIF orientations: how a picture that a camera stored sideways or mirrored is to be shown.
#pragma once

#include "dib/host_port.h"

// How orientation 2-8 shows the stored picture, in words ("turned a quarter turn clockwise");
// null for 1 (as stored) and for values outside 1-8.
const char* OrientationText(int orientation);

// Shows `image` as orientation 2-8 asks, with the exact turns and mirrors of the engines. Returns
// `image` itself when it was changed in place, a new block (the caller owns it; `image` stays the
// caller's) or null after the engine reported a failure.
HostBlock ApplyOrientation(HostBlock image, int orientation);
