// The entry of the rotation engine: which turn an angle asks for.
#include "rotate/rotate.h"

HostBlock ROT_RotateDIB(HostBlock source, uint16_t quality, int32_t angle, RotateFill fill,
                        HostWindow progressOwner) {
  // The dialog already hands over angles in -359..359; reducing here as well keeps any other
  // caller's angle meaningful instead of producing turns that do not exist.
  angle %= 360;  // the remainder keeps the sign of the angle
  if (angle == 0) return nullptr;
  if (angle % 90 == 0) return ROT_RightAngle(source, (angle > 0 ? angle : angle + 360) / 90);
  // The any-angle code turns counter-clockwise: a clockwise turn by a is one by 360 - a.
  return ROT_RotateAny(source, quality, angle < 0 ? -angle : 360 - angle, fill, progressOwner);
}
