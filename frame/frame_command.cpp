// The Frame/Caption... menu command: the Frame/Caption dialog, then the framed and captioned image
// from IMG_FrameDIB under the wait cursor.
#include <string>

#include "dib/dib.h"
#include "frame/frame_dialog.h"
#include "frame/frame_fields.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/settings.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

FrameSpec FRM_Params;
FrameFlags FRM_Flags;

namespace {

// The caption OK took, lent to the module's FrameSpec for the composition only: `caption` is none
// again when the command ends, whichever way it ends.
class CaptionLoan {
 public:
  CaptionLoan(FrameSpec& params, const std::string& caption) : params_(params) {
    params_.caption = caption.empty() ? nullptr : caption.c_str();
  }
  ~CaptionLoan() { params_.caption = nullptr; }
  CaptionLoan(const CaptionLoan&) = delete;
  CaptionLoan& operator=(const CaptionLoan&) = delete;

 private:
  FrameSpec& params_;
};

}  // namespace

void FRM_FrameCommand(HWND window) {
  FrameDialogState state;
  // Both handles are taken before the image is tested: the host expects the palette request.
  state.image = ZQ_GetHDib(window);
  state.palette = ZQ_GetHPalette(window);
  RunImageCommandOn(
      window, state.image, IDS_FRAME_NO_IMAGE,
      [&](const ImageFacts& image) {
        // No frame fits round a side beyond the 16-bit sizes, and the dialog's fields could not
        // show one; the refusal is the composition's own text.
        if (!SidesWithin(image, kFrameFieldMax, IDS_IMAGE_TOO_LARGE)) return false;
        state.facts = &image;
        if (RunModalDialog(ZQ_GetOwnerWnd(window), IDD_FRAME, FrameProc, &state) != 1) return false;
        return FRM_Params.addWidth != 0 || FRM_Params.addHeight != 0 || !state.caption.empty();
      },
      [&](HGLOBAL image) {
        FRM_Params.style = FrameSettings.style;
        FRM_Params.colorChoice = FrameSettings.colorChoice;
        FRM_Params.alignment = FrameSettings.alignment;
        const CaptionLoan loan(FRM_Params, state.caption);
        return OwnedBlock(IMG_FrameDIB(image, &FRM_Params, static_cast<DWORD>(FRM_Flags.invert),
                                       static_cast<DWORD>(FRM_Flags.alpha),
                                       static_cast<DWORD>(FRM_Flags.color), 1));
      },
      [](HWND) {});  // the depth never changes: nothing to tell the host
}
