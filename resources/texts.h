/* Every user-visible text of the plug-in and imagetool, with its string id.
   Expand IMAGE_TEXT(name, id, text) to use it; the string table of the .rc script
   and the portable text lookup are both generated from this list. */

/* Mask shapes (the names of the MASK resources with the same ids) */
IMAGE_TEXT(IDS_SHAPE_CHECKERS, 100, "Checkers")
IMAGE_TEXT(IDS_SHAPE_CIRCLE, 101, "Circle")
IMAGE_TEXT(IDS_SHAPE_CLOVER, 102, "Clover")
IMAGE_TEXT(IDS_SHAPE_CLUB, 103, "Club")
IMAGE_TEXT(IDS_SHAPE_COMPUTER, 104, "Computer")
IMAGE_TEXT(IDS_SHAPE_DOWN_ARROW, 105, "Down Arrow")
IMAGE_TEXT(IDS_SHAPE_DIAMOND, 106, "Diamond")
IMAGE_TEXT(IDS_SHAPE_HEART, 107, "Heart")
IMAGE_TEXT(IDS_SHAPE_KEYHOLE, 108, "Keyhole")
IMAGE_TEXT(IDS_SHAPE_LEFT_ARROW, 109, "Left Arrow")
IMAGE_TEXT(IDS_SHAPE_MOON, 110, "Moon")
IMAGE_TEXT(IDS_SHAPE_PROFILE, 111, "Profile")
IMAGE_TEXT(IDS_SHAPE_RIGHT_ARROW, 112, "Right Arrow")
IMAGE_TEXT(IDS_SHAPE_SPADE, 113, "Spade")
IMAGE_TEXT(IDS_SHAPE_STAR, 114, "Star")
IMAGE_TEXT(IDS_SHAPE_TRIANGLE, 115, "Triangle")
IMAGE_TEXT(IDS_SHAPE_UP_ARROW, 116, "Up Arrow")

/* Plug-in start-up: window class registration */
IMAGE_TEXT(IDS_INIT_CANNOT_LOAD, 768, "Image DLL: Cannot initialize, cannot load")

/* Crop */
IMAGE_TEXT(IDS_CROP_NO_MEMORY, 769, "Crop: Not enough memory to crop image")
IMAGE_TEXT(IDS_CROP_NO_IMAGE, 770, "Image: No image in window, cannot crop")
IMAGE_TEXT(IDS_CROP_DRAG_HINT, 771,
           "Move the mouse cursor to side of image to drag\ncrop marks to their proper location.")
IMAGE_TEXT(IDS_CROP_EMPTY_RESULT, 772, "Cannot have an image dimension less than or equal to zero")

/* Flip and mirror */
IMAGE_TEXT(IDS_FLIP_NO_IMAGE, 1024, "Image: No image in window, cannot flip")
IMAGE_TEXT(IDS_FLIP_NO_MEMORY, 1025, "Flip: Not enough memory to perform operation")
IMAGE_TEXT(IDS_MIRROR_NO_IMAGE, 1026, "Image: No image in window, cannot mirror")
IMAGE_TEXT(IDS_MIRROR_NO_MEMORY, 1027, "Mirror: Not enough memory to perform operation")

/* Frame/Caption messages */
IMAGE_TEXT(IDS_FRAME_CAPTION_TOO_LONG, 1282,
           "Caption too long, use a caption less than 255 characters")
IMAGE_TEXT(IDS_FRAME_WIDTH_TOO_SMALL, 1283, "Width field cannot be less than original image width")
IMAGE_TEXT(IDS_FRAME_HEIGHT_TOO_SMALL, 1284,
           "Height field cannot be less than original image height")
IMAGE_TEXT(IDS_FRAME_NO_MEMORY, 1285, "Frame: Not enough memory to frame image")
IMAGE_TEXT(IDS_FRAME_CAPTION_FAILED, 1286, "Cannot add text to image, unknown error")
IMAGE_TEXT(IDS_FRAME_NO_IMAGE, 1287, "Image: No image in window, cannot frame")

/* Caption font: face name and character set name */
IMAGE_TEXT(IDS_CAPTION_FONT_FACE, 1351, "Arial")
IMAGE_TEXT(IDS_CAPTION_FONT_CHARSET, 1352, "ANSI")

/* Plug-in start-up: menu */
IMAGE_TEXT(IDS_INIT_NO_MENU, 1536, "Image: Cannot add popup menu")
IMAGE_TEXT(IDS_INIT_NO_MENU_ID, 1537, "Image: Cannot get menu id from library")

/* Invert */
IMAGE_TEXT(IDS_INVERT_NO_IMAGE, 1792, "Image: No image in window, cannot invert")
IMAGE_TEXT(IDS_INVERT_NO_MEMORY, 1793, "Not enough memory to perform operation")

/* Mask */
IMAGE_TEXT(IDS_MASK_NO_MEMORY_IMAGE, 2049, "Mask: not enough memory to create new image")
IMAGE_TEXT(IDS_MASK_NO_MEMORY_MASK, 2050, "Mask: not enough memory to create mask")

/* Rotate */
IMAGE_TEXT(IDS_ROTATE_ANGLE_RANGE, 2304, "Enter an amount between -360 and 360 degrees")
IMAGE_TEXT(IDS_ROTATE_ANGLE_CAPTION, 2305, "Rotation Angle")
IMAGE_TEXT(IDS_ROTATE_NO_MEMORY, 2306, "Not enough memory to rotate image")
IMAGE_TEXT(IDS_ROTATE_NO_IMAGE, 2307, "Image: No image in window, cannot rotate")

/* Scale */
IMAGE_TEXT(IDS_SCALE_LOW_NO_MEMORY, 2560, "Not enough memory to complete operation")
IMAGE_TEXT(IDS_SCALE_HIGH_NO_MEMORY, 2561, "Not enough memory to scale image")
IMAGE_TEXT(IDS_SCALE_NO_IMAGE, 2562, "Image: No image in window, cannot scale")

/* Tile */
IMAGE_TEXT(IDS_TILE_TOO_LARGE, 3072, "Tile: Dimensions too large, cannot create new image")
IMAGE_TEXT(IDS_TILE_NO_MEMORY, 3073, "Tile: Not enough memory to create new image")
IMAGE_TEXT(IDS_TILE_NO_IMAGE, 3074, "Image: No image in window, cannot tile")
IMAGE_TEXT(IDS_TILE_BAD_WIDTH, 3075, "Tile: Illegal width value")
IMAGE_TEXT(IDS_TILE_BAD_HEIGHT, 3076, "Tile: Illegal height value")

/* Our own: input the host should never send */
IMAGE_TEXT(IDS_UNSUPPORTED_IMAGE, 3840, "Image: This image format is not supported")
IMAGE_TEXT(IDS_IMAGE_TOO_LARGE, 3841, "Image: The image is too large for this operation")
IMAGE_TEXT(IDS_SCALE_ZERO_SIZE, 3842, "Scale: Cannot make an image with a width or height of 0")
/* The Scale dialog's refusal of a size of 0; shown without the task-modal style */
IMAGE_TEXT(IDS_SCALE_ZERO_ENTERED, 3843, "Cannot enter 0 for width or height")

/* Status-line help texts */
IMAGE_TEXT(IDS_HELP_INVERT, 4096, "Invert the image in the active window")
IMAGE_TEXT(IDS_HELP_FLIP, 4097, "Flip (vertical) the image in the active window upside down")
IMAGE_TEXT(IDS_HELP_MIRROR, 4098, "Mirror (horizontal flip) the image in the active window")
IMAGE_TEXT(IDS_HELP_CROP, 4099, "Crop image in active window to new dimensions")
IMAGE_TEXT(IDS_HELP_SCALE, 4100,
           "Enlarge / Shrink / Adjust aspect of the image in the active window")
IMAGE_TEXT(IDS_HELP_ROTATE, 4101, "Rotate the image in the active window")
IMAGE_TEXT(IDS_HELP_FRAME, 4102, "Add margins and/or borders in the image in active window")
IMAGE_TEXT(IDS_HELP_TILE, 4103, "Create tiled version of image in active window")
IMAGE_TEXT(IDS_HELP_MASK, 4104, "Mask image in active window")

/* Menu texts */
IMAGE_TEXT(IDS_MENU_INVERT, 4112, "Invert Image")
IMAGE_TEXT(IDS_MENU_FLIP, 4113, "Flip Image")
IMAGE_TEXT(IDS_MENU_MIRROR, 4114, "Mirror Image")
IMAGE_TEXT(IDS_MENU_CROP, 4115, "Crop...")
IMAGE_TEXT(IDS_MENU_SCALE, 4116, "Scale...")
IMAGE_TEXT(IDS_MENU_ROTATE, 4117, "Rotate...")
IMAGE_TEXT(IDS_MENU_FRAME, 4118, "Frame/Caption...")
IMAGE_TEXT(IDS_MENU_TILE, 4119, "Tile...")
IMAGE_TEXT(IDS_MENU_MASK, 4120, "Mask...")

/* Progress meter captions */
IMAGE_TEXT(IDS_PROGRESS_INVERT, 4128, "Inverting image")
IMAGE_TEXT(IDS_PROGRESS_ROTATE, 4129, "High quality rotation")
IMAGE_TEXT(IDS_PROGRESS_SCALE_WIDTH, 4130, "High quality horizontal scaling")
IMAGE_TEXT(IDS_PROGRESS_SCALE_HEIGHT, 4131, "High quality vertical scaling")
IMAGE_TEXT(IDS_PROGRESS_SCALE_BOTH, 4132, "High quality scaling")

/* Frame/Caption dialog: caption frame title, styles, colour choices */
IMAGE_TEXT(IDS_FRAME_CAPTION_TITLE, 4144, "Caption")
IMAGE_TEXT(IDS_FRAME_STYLE_FILLED, 4145, "Filled")
IMAGE_TEXT(IDS_FRAME_STYLE_OUTLINE, 4146, "Outline")
IMAGE_TEXT(IDS_FRAME_FILL_COLOR, 4149, "Fill Color")
IMAGE_TEXT(IDS_FRAME_OUTLINE_COLOR, 4150, "Outline Color")
IMAGE_TEXT(IDS_FRAME_TEXT_COLOR, 4151, "Text Color")

/* Scale dialog: units, short unit labels, measures */
IMAGE_TEXT(IDS_UNITS_PIXELS, 4160, "Pixels")
IMAGE_TEXT(IDS_UNIT_LABEL_INCHES, 4161, "In.")
IMAGE_TEXT(IDS_UNIT_LABEL_PERCENT, 4162, "%")
IMAGE_TEXT(IDS_UNIT_LABEL_CENTIMETERS, 4163, "Cent.")
IMAGE_TEXT(IDS_UNITS_INCHES, 4164, "Inches")
IMAGE_TEXT(IDS_UNITS_CENTIMETERS, 4165, "Centimeters")
IMAGE_TEXT(IDS_MEASURE_CUSTOM, 4166, "Custom")
IMAGE_TEXT(IDS_MEASURE_SCREEN, 4167, "Screen")
IMAGE_TEXT(IDS_MEASURE_PRINTER, 4168, "Printer")
IMAGE_TEXT(IDS_UNITS_PERCENTAGE, 4169, "Percentage")

/* Quality choices of the Scale and Rotate dialogs */
IMAGE_TEXT(IDS_QUALITY_LOW, 8192, "Low")
IMAGE_TEXT(IDS_QUALITY_HIGH, 8193, "High")
