// The Scale... command and the host's two scale requests: the stored settings opened without an
// image, and a window rescaled from them without a dialog.
#include "scale/scale_command.h"

#include "dib/block.h"
#include "dib/dib.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "plugin/settings.h"
#include "resources/text_ids.h"
#include "scale/resample.h"
#include "scale/target.h"

ScaleState Scale;

namespace {

// Host flag 4: the window wants palette images scaled in colour; without it they become grey.
constexpr int kColourScalingFlag = 4;
// ZQ_SetInfo item that records the depth of the window's image.
constexpr int kDepthInfoItem = 24;

// What one scaling run learns about the window's image before it builds the new one.
struct ScaleRun {
  bool grey = false;
  uint32_t width = 0, height = 0;  // the target
  unsigned sourceBits = 0;
  unsigned resultBits = 0;
};

// A damaged profile can hold choices the dialog has no entry for: they fall back to Screen and
// Pixels, and any quality other than Low is High (as the scaling reads it).
void NormaliseChoices() {
  if (ScaleMeasure >= kScaleMeasureCount) ScaleMeasure = kScaleMeasureScreen;
  if (ScaleUnits >= kScaleUnitsCount) ScaleUnits = kScaleUnitsPixels;
  if (ScaleQuality != 0) ScaleQuality = 1;
}

// The image's size becomes the base; a 24-bit image is scaled in colour whatever the window says.
// An image that cannot be locked or described is refused before anything else happens.
bool ReadImage(HGLOBAL image, ScaleRun& run) {
  BlockLock lock(image);
  DibView v;
  if (!lock || !DescribeDib(lock.get(), HP_Size(image), v)) {
    HP_ShowMessage(IDS_UNSUPPORTED_IMAGE);
    return false;
  }
  Scale.sizes.OrigWidth = v.width;
  Scale.sizes.OrigHeight = v.height;
  run.sourceBits = v.bits;
  if (v.bits == 24) run.grey = false;
  return true;
}

// The image scaled from Orig to the run's target at ScaleQuality, or an empty block when the
// size does not change or after the failure was reported. High quality records the result's depth
// in `run` for the window.
OwnedBlock SCL_ApplyScale(HGLOBAL source, ScaleRun& run) {
  const uint32_t W = Scale.sizes.OrigWidth, H = Scale.sizes.OrigHeight;
  const uint32_t w = run.width, h = run.height;
  if (ScaleQuality == 0) {
    if (w == W && h == H) return {};
    // The high-quality operations refuse these sizes with the same texts. Checked here, the host's
    // resize never gets a negative size and never claims memory ran out for an impossible one.
    if (w == 0 || h == 0) {
      HP_ShowMessage(IDS_SCALE_ZERO_SIZE);
      return {};
    }
    if (!ScaledImageFits(run.sourceBits, w, h)) {
      HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
      return {};
    }
    OwnedBlock result(DibResize(source, static_cast<int>(w), static_cast<int>(h)));
    if (!result) HP_ShowMessage(IDS_SCALE_LOW_NO_MEMORY);
    return result;
  }
  const ScaleOperation operation = SCL_ChooseOperation(W, H, w, h);
  if (!operation) return {};
  // The meter belongs to the host's main window, as for every long operation.
  OwnedBlock result(operation(source, w, h, run.grey, HostMainWindow));
  if (result) {
    BlockLock lock(result.get());
    run.resultBits = reinterpret_cast<const BitmapInfoHeader*>(lock.get())->biBitCount;
  }
  return result;
}

// After the window took the new image. Only High quality records the depth, and it records the
// result's real one (8 for a grey result, 24, or 32 for a 32-bit source even with the grey flag);
// the host's resize decides its own depth, so Low quality leaves the record alone.
void RecordDepth(HWND window, const ScaleRun& run) {
  if (ScaleQuality != 0) ZQ_SetInfo(window, kDepthInfoItem, static_cast<int>(run.resultBits));
}

}  // namespace

void SCL_ScaleCommand(HWND window) {
  ScaleRun run;
  RunImageCommand(
      window, IDS_SCALE_NO_IMAGE,
      [&](HGLOBAL image) {
        run.grey = !ZQ_GetFlag(window, kColourScalingFlag);
        if (!ReadImage(image, run)) return false;
        // The dialog always opens on the image's own size, never on the stored target.
        Scale.sizes.WorkWidth = Scale.sizes.OrigWidth;
        Scale.sizes.WorkHeight = Scale.sizes.OrigHeight;
        NormaliseChoices();
        if (SCL_RunDialog(ZQ_GetOwnerWnd(window)) != 1) return false;
        run.width = SCL_TargetSide(CustomWidth);
        run.height = SCL_TargetSide(CustomHeight);
        return true;
      },
      [&](HGLOBAL image) { return SCL_ApplyScale(image, run); },
      [&](HWND target) { RecordDepth(target, run); });
}

int SCL_SettingsDialog(HWND hostWindow) {
  Scale.SettingsMode = true;
  LoadScaleSettings(kSettingsSection);
  NormaliseChoices();
  Scale.sizes = SCL_SettingsSizes(SCL_TargetSide(CustomWidth), SCL_TargetSide(CustomHeight),
                                  ScaleUnits, PercentWidth, PercentHeight);
  // A dialog that cannot be created counts as Cancel: nothing is saved.
  const int result = SCL_RunDialog(ZQ_GetOwnerWnd(hostWindow));
  if (result == 1) SaveScaleSettings(kSettingsSection);
  Scale.SettingsMode = false;
  return result;
}

void SCL_ScaleWindow(HWND, HWND window) {
  ScaleRun run;
  // A window without an image is not the host's user's doing here: no message.
  RunImageCommand(
      window, 0,
      [&](HGLOBAL image) {
        run.grey = !ZQ_GetFlag(window, kColourScalingFlag);
        // Always from the saved settings: what a dialog changed without saving does not count.
        LoadScaleSettings(kSettingsSection);
        NormaliseChoices();
        if (!ReadImage(image, run)) return false;
        ScaleTargetState target;
        target.OrigWidth = Scale.sizes.OrigWidth;
        target.OrigHeight = Scale.sizes.OrigHeight;
        target.CustomWidth = SCL_TargetSide(CustomWidth);
        target.CustomHeight = SCL_TargetSide(CustomHeight);
        target.ScaleUnits = ScaleUnits;
        target.PercentWidth = PercentWidth;
        target.PercentHeight = PercentHeight;
        target.KeepAspect = KeepAspect != 0;
        SCL_TargetFromSettings(target);
        // The target is this run's only: the stored settings keep their values.
        run.width = target.CustomWidth;
        run.height = target.CustomHeight;
        return true;
      },
      [&](HGLOBAL image) { return SCL_ApplyScale(image, run); },
      [&](HWND target) { RecordDepth(target, run); });
}
