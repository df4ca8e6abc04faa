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

namespace {

// What one scaling run learns about the window's image before it builds the new one.
struct ScaleRun {
  bool grey = false;
  uint32_t sourceWidth = 0, sourceHeight = 0;
  uint32_t width = 0, height = 0;  // the target
  unsigned sourceBits = 0;
  unsigned resultBits = 0;
};

// A damaged profile can hold choices the dialog has no entry for: they fall back to Screen and
// Pixels, and any quality other than Low is High (as the scaling reads it).
void NormaliseChoices() {
  ScaleSettingsGroup& s = ScaleSettings;
  if (s.ScaleMeasure >= kScaleMeasureCount) s.ScaleMeasure = kScaleMeasureScreen;
  if (s.ScaleUnits >= kScaleUnitsCount) s.ScaleUnits = kScaleUnitsPixels;
  if (s.ScaleQuality != 0) s.ScaleQuality = 1;
}

// The image's size is the base; a 24-bit image is scaled in colour whatever the window says.
void ReadImage(const ImageFacts& image, ScaleRun& run) {
  run.sourceWidth = image.width;
  run.sourceHeight = image.height;
  run.sourceBits = image.bits;
  if (image.bits == 24) run.grey = false;
}

// The image scaled to the run's target at ScaleQuality, or an empty block when the size does not
// change or after the failure was reported. High quality records the result's depth in `run` for
// the window.
OwnedBlock SCL_ApplyScale(HGLOBAL source, ScaleRun& run) {
  const uint32_t W = run.sourceWidth, H = run.sourceHeight;
  const uint32_t w = run.width, h = run.height;
  if (ScaleSettings.ScaleQuality == 0) {
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
  if (ScaleSettings.ScaleQuality != 0)
    ZQ_SetInfo(window, kInfoBitCount, static_cast<int>(run.resultBits));
}

}  // namespace

void SCL_ScaleCommand(HWND window) {
  ScaleRun run;
  RunImageCommand(
      window, IDS_SCALE_NO_IMAGE,
      [&](const ImageFacts& image) {
        run.grey = !ZQ_GetFlag(window, kFlagColorImage);
        ReadImage(image, run);
        // The dialog always opens on the image's own size, never on the stored target.
        ScaleState state;
        state.sizes = {image.width, image.height, image.width, image.height};
        NormaliseChoices();
        if (!SCL_RunDialog(ZQ_GetOwnerWnd(window), state)) return false;
        run.width = SCL_TargetSide(ScaleSettings.CustomWidth);
        run.height = SCL_TargetSide(ScaleSettings.CustomHeight);
        return true;
      },
      [&](HGLOBAL image) { return SCL_ApplyScale(image, run); },
      [&](HWND target) { RecordDepth(target, run); });
}

int SCL_SettingsDialog(HWND hostWindow) {
  LoadScaleSettings(kSettingsSection);
  NormaliseChoices();
  const ScaleSettingsGroup& s = ScaleSettings;
  ScaleState state;
  state.SettingsMode = true;
  state.sizes = SCL_SettingsSizes(SCL_TargetSide(s.CustomWidth), SCL_TargetSide(s.CustomHeight),
                                  s.ScaleUnits, s.PercentWidth, s.PercentHeight);
  // A dialog that cannot be created counts as Cancel: nothing is saved.
  const bool ok = SCL_RunDialog(ZQ_GetOwnerWnd(hostWindow), state);
  if (ok) SaveScaleSettings(kSettingsSection);
  return ok;
}

void SCL_ScaleWindow(HWND, HWND window) {
  ScaleRun run;
  // A window without an image is not the host's user's doing here: no message.
  RunImageCommand(
      window, 0,
      [&](const ImageFacts& image) {
        run.grey = !ZQ_GetFlag(window, kFlagColorImage);
        // Always from the saved settings: what a dialog changed without saving does not count.
        LoadScaleSettings(kSettingsSection);
        NormaliseChoices();
        ReadImage(image, run);
        const ScaleSettingsGroup& s = ScaleSettings;
        ScaleTargetState target;
        target.OrigWidth = image.width;
        target.OrigHeight = image.height;
        target.CustomWidth = SCL_TargetSide(s.CustomWidth);
        target.CustomHeight = SCL_TargetSide(s.CustomHeight);
        target.ScaleUnits = s.ScaleUnits;
        target.PercentWidth = s.PercentWidth;
        target.PercentHeight = s.PercentHeight;
        target.KeepAspect = s.KeepAspect != 0;
        SCL_TargetFromSettings(target);
        // The target is this run's only: the stored settings keep their values.
        run.width = target.CustomWidth;
        run.height = target.CustomHeight;
        return true;
      },
      [&](HGLOBAL image) { return SCL_ApplyScale(image, run); },
      [&](HWND target) { RecordDepth(target, run); });
}
