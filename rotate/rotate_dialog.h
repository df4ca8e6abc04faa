// The Rotate dialog (template IDD_ROTATE) and the command's remembered choices.
#pragma once

#include <windows.h>

#include "plugin/dialog.h"
#include "rotate/rotate_choices.h"

// The one instance of the Rotate choices, from the module's load to its unload.
extern RotateSettings ROT_Settings;

// One run of the dialog: the choices it edits in place and the image they are for.
struct RotateDialogState {
  RotateSettings& settings;
  const ImageFacts& image;
};

// The dialog procedure of IDD_ROTATE; lParam of WM_INITDIALOG is the RotateDialogState.
// Exported undecorated, as the host expects of the plug-in's dialog procedures.
extern "C" INT_PTR CALLBACK RotateProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's WM_COMMAND: OK, Cancel, the radio buttons, Amount, Quality and Color:.
void ROT_OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
