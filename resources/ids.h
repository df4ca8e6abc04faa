/* Resource and command ids shared by the code and the .rc scripts (plain #defines only, so that
   the resource compiler's preprocessor can read this file). Text ids live in texts.h. */
#ifndef IMAGE_RESOURCES_IDS_H
#define IMAGE_RESOURCES_IDS_H

/* Icons */
#define IDI_IMAGE 600

/* Dialog templates */
#define IDD_COLOR_CHOOSER 8300
#define IDD_SCALE 8307
#define IDD_ROTATE 8304
#define IDD_TILE_IMAGE 8302
#define IDD_MASK_IMAGE 8303

/* Controls of the colour chooser (8300) */
#define IDC_COLOR_GRID 133

/* The Crop dialog (8301): its preview and fields, and the hand cursor shown over the marks */
#define IDD_CROP 8301
#define IDC_CROP_WIDTH 99
#define IDC_CROP_HEIGHT 100
#define IDC_CROP_PREVIEW 106
#define IDC_CROP_TOP 117
#define IDC_CROP_BOTTOM 118
#define IDC_CROP_LEFT 119
#define IDC_CROP_RIGHT 120
#define IDC_CROP_RESET 123
#define IDC_CROP_FIT 124
#define IDC_CROP_REAL_SIZE 125
#define IDC_CROP_HSCROLL 126
#define IDC_CROP_VSCROLL 127
#define IDC_CROP_HAND 400

/* Controls of the Scale Image dialog (8307) */
#define IDC_SCALE_WIDTH 99
#define IDC_SCALE_HEIGHT 100
#define IDC_SCALE_KEEP_ASPECT 101
#define IDC_SCALE_MEASURE 102      /* wide list: entries with their resolution */
#define IDC_SCALE_MEASURE_NAME 103 /* narrow list in the same place, for Custom */
#define IDC_SCALE_UNITS 104
#define IDC_SCALE_WIDTH_UNIT 106
#define IDC_SCALE_HEIGHT_UNIT 107
#define IDC_SCALE_QUALITY 113
#define IDC_SCALE_RESET 123
#define IDC_SCALE_RES_X 128
#define IDC_SCALE_RES_Y 129

/* Controls of the Rotate dialog (8304); the four radio buttons are consecutive, in screen order */
#define IDC_ROTATE_CUSTOM 108
#define IDC_ROTATE_90 109
#define IDC_ROTATE_180 110
#define IDC_ROTATE_270 111
#define IDC_ROTATE_AMOUNT 112
#define IDC_ROTATE_QUALITY 113
#define IDC_ROTATE_SWATCH 137
#define IDC_ROTATE_COLOR 139

/* Controls of the Tile Image dialog (8302) */
#define IDC_TILE_WIDTH 99
#define IDC_TILE_HEIGHT 100
#define IDC_TILE_MIRROR 132

/* Controls of the Mask Image dialog (8303) */
#define IDC_MASK_SWATCH 107
#define IDC_MASK_LIST 130
#define IDC_MASK_PREVIEW 131
#define IDC_MASK_COLOR 133
#define IDC_MASK_INVERT 141
#define IDC_MASK_ALPHA 153
#define IDC_MASK_COLOR_CHANNELS 154

/* The Frame/Caption dialog (8306) */
#define IDD_FRAME 8306
#define IDC_FRAME_WIDTH 99
#define IDC_FRAME_HEIGHT 100
#define IDC_FRAME_PREVIEW 107
#define IDC_FRAME_TOP 117
#define IDC_FRAME_BOTTOM 118
#define IDC_FRAME_LEFT 119
#define IDC_FRAME_RIGHT 120
#define IDC_FRAME_STYLE 122
#define IDC_FRAME_RESET 123
#define IDC_FRAME_SWATCH 133
#define IDC_FRAME_CAPTION 134
#define IDC_FRAME_FONT 135 /* "Style...": the caption's font */
#define IDC_FRAME_ALIGN 136
#define IDC_FRAME_INVERT 141
#define IDC_FRAME_COLOR_BUTTON 150
#define IDC_FRAME_COLORS 151
#define IDC_FRAME_CAPTION_GROUP 152
#define IDC_FRAME_ALPHA 153
#define IDC_FRAME_COLOR_CHANNELS 154
/* The preview's pattern over the image's place: 8 x 8, one bit, a black cross in every cell */
#define IDB_FRAME_PATTERN 500

/* The caption alignment dialog (8305); each group's three buttons are consecutive */
#define IDD_FRAME_ALIGN 8305
#define IDC_ALIGN_TOP 142
#define IDC_ALIGN_VCENTER 143
#define IDC_ALIGN_BOTTOM 144
#define IDC_ALIGN_LEFT 145
#define IDC_ALIGN_HCENTER 146
#define IDC_ALIGN_RIGHT 147

/* Command ids that the host chooses, not reserved at start-up */
#define ScaleSettingsCommandId 4121
#define HostScaleCommandId 4122

#endif
