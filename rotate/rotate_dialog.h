// The Rotate dialog (template IDD_ROTATE) and the command's remembered choices.
#pragma once

#include <windows.h>

#include "rotate/rotate_choices.h"

// The one instance of the Rotate choices, from the module's load to its unload.
extern RotateSettings ROT_Settings;

// The dialog procedure of IDD_ROTATE; lParam of WM_INITDIALOG is the RotateSettings it edits.
// Exported undecorated, as the host expects of the plug-in's dialog procedures.
extern "C" INT_PTR CALLBACK RotateProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's WM_COMMAND: OK, Cancel, the radio buttons, Amount, Quality and Color:.
void ROT_OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
