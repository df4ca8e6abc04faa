// The Frame/Caption command's module state, its dialog (template IDD_FRAME) with the preview, the
// caption alignment dialog (IDD_FRAME_ALIGN), the font chooser and the exported composition.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "frame/frame.h"
#include "plugin/dialog.h"

// The frame parameters for the life of the module: margins, the three colours and the font. None
// of it is saved. Style, colour choice and alignment live in FrameSettings (plugin/settings.h),
// where the dialog edits them; the command copies them in before composing.
extern FrameSpec FRM_Params;

// The caption check boxes, zero or non-zero, for the life of the module and not saved.
struct FrameFlags {
  int32_t invert = 0;
  int32_t alpha = 0;
  int32_t color = 1;
};
extern FrameFlags FRM_Flags;

// One run of the Frame/Caption dialog: the image it frames, what it edits and what OK hands back.
struct FrameDialogState {
  HGLOBAL image = nullptr;
  HPALETTE palette = nullptr;
  const ImageFacts* facts = nullptr;  // the image as the command read it
  uint16_t width = 0;                 // the image's width and height: the command refuses
  uint16_t height = 0;                // larger ones
  FrameSpec* params = &FRM_Params;
  FrameFlags* flags = &FRM_Flags;
  std::string caption;            // set by OK; empty for none
  bool updating = false;          // the dialog's own field writes (UpdateScope)
  WNDPROC previewProc = nullptr;  // the preview control's own procedure while it is hooked
};

// The Frame/Caption dialog; lParam of WM_INITDIALOG is the FrameDialogState. Ends with 1 on OK.
extern "C" INT_PTR CALLBACK FrameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The preview control's procedure while the dialog is open: WM_PAINT by FRM_PaintPreview, the
// rest to the control's own procedure (kept in the dialog's FrameDialogState).
extern "C" LRESULT CALLBACK FRM_StaticHookProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam);

// The caption alignment dialog; lParam of WM_INITDIALOG points to the WORD of alignment flags,
// which it only reads. Ends with the sum of the marked flags on OK, 0 on Cancel.
extern "C" INT_PTR CALLBACK FRM_AlignProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the alignment dialog owned by `owner`; on OK stores the flags in *alignment and returns
// non-zero, on Cancel leaves it and returns 0.
extern "C" int WINAPI FRA_ChooseAlign(HWND owner, WORD* alignment);
// The system font dialog on the caption font (screen fonts, no effects); non-zero when confirmed.
extern "C" BOOL WINAPI FRA_ChooseFont(HWND owner, LOGFONTA* font);

// The exported composition: FRM_ComposeFrame, then the caption drawn by GDI when params->caption is
// set. The flags are read from their low 16 bits; `reserved` is not read. Returns the new image,
// owned by the caller, or null after a message.
extern "C" HGLOBAL WINAPI IMG_FrameDIB(HGLOBAL source, const FrameSpec* params, DWORD invertFlag,
                                       DWORD alphaFlag, DWORD colorFlag, DWORD reserved);
