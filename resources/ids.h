/* Resource and command ids shared by the code and the .rc scripts (plain #defines only, so that
   the resource compiler's preprocessor can read this file). Text ids live in texts.h. */
#ifndef IMAGE_RESOURCES_IDS_H
#define IMAGE_RESOURCES_IDS_H

/* Icons */
#define IDI_IMAGE 600

/* Dialog templates */
#define IDD_COLOR_CHOOSER 8300

/* Controls of the colour chooser (8300) */
#define IDC_COLOR_GRID 133

/* Command ids that the host chooses, not reserved at start-up */
#define ScaleSettingsCommandId 4121
#define HostScaleCommandId 4122

#endif
