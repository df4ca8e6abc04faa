// The menu rows in menu order. Rows whose command procedure is not part of this build have no
// handler: they appear in the menu, and choosing them is reported to the host as not handled.
#include "plugin/commands.h"
#include "plugin/plugin.h"
#include "resources/text_ids.h"

CommandEntry CommandTable[kCommandCount] = {
    {0, IDS_HELP_INVERT, IDS_MENU_INVERT, InvertCommand},
    {0, IDS_HELP_FLIP, IDS_MENU_FLIP, FlipCommand},
    {0, IDS_HELP_MIRROR, IDS_MENU_MIRROR, MirrorCommand},
    {0, 0, 0, nullptr},  // separator
    {0, IDS_HELP_CROP, IDS_MENU_CROP, CRP_CropCommand},
    {0, IDS_HELP_SCALE, IDS_MENU_SCALE, SCL_ScaleCommand},
    {0, IDS_HELP_ROTATE, IDS_MENU_ROTATE, ROT_RotateCommand},
    {0, IDS_HELP_FRAME, IDS_MENU_FRAME, FRM_FrameCommand},
    {0, IDS_HELP_TILE, IDS_MENU_TILE, TIL_TileCommand},
    {0, IDS_HELP_MASK, IDS_MENU_MASK, MAS_MaskCommand},
};

int (*const ScaleSettingsHandler)(HWND) = SCL_SettingsDialog;
void (*const HostScaleHandler)(HWND, HWND) = SCL_ScaleWindow;
