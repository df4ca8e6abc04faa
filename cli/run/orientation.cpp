#include "cli/run/orientation.h"

#include "dib/block.h"
#include "dib/transforms.h"
#include "rotate/rotate.h"

const char* OrientationText(int orientation) {
  static const char* const kTexts[] = {
      "mirrored left to right",
      "turned half a turn",
      "flipped upside down",
      "turned a quarter turn clockwise and mirrored left to right",
      "turned a quarter turn clockwise",
      "turned a quarter turn clockwise and flipped upside down",
      "turned a quarter turn counter-clockwise",
  };
  return orientation >= 2 && orientation <= 8 ? kTexts[orientation - 2] : nullptr;
}

HostBlock ApplyOrientation(HostBlock image, int orientation) {
  switch (orientation) {
    case 2:
      return MirrorDib(image) ? image : nullptr;
    case 3:
      return ROT_RightAngle(image, 2);
    case 4:
      return FlipDib(image) ? image : nullptr;
    case 6:
      return ROT_RightAngle(image, 1);
    case 8:
      return ROT_RightAngle(image, 3);
    case 5:
    case 7: {
      // A quarter turn, then the mirror that makes it a transpose (5) or a transverse (7).
      OwnedBlock turned(ROT_RightAngle(image, 1));
      if (!turned || !(orientation == 5 ? MirrorDib(turned.get()) : FlipDib(turned.get())))
        return nullptr;
      return turned.release();
    }
    default:
      return image;
  }
}
