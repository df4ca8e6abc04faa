// The small control work every dialog of the plug-in does the same way: lists filled from the text
// list, plain check boxes that show a flag, the two options of 32-bit images, messages that give
// the keyboard back to the dialog, and a palette image's colours.
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "plugin/dialog.h"

// Adds the texts `textIds` to combo box `id` in order and selects entry `selected`.
void FillComboBox(HWND dialog, int id, std::initializer_list<UINT> textIds, int selected);
void AddComboText(HWND dialog, int id, const std::string& text);
void SelectComboEntry(HWND dialog, int id, int index);
// The entry selected in combo box `id`, or `current` while none is.
uint16_t ComboSelection(HWND dialog, int id, uint16_t current);

// The check boxes are plain: the dialog sets each mark from its flag, and a click turns the flag
// over once and shows it.
void ShowMark(HWND dialog, int id, bool marked);
void ToggleMark(HWND dialog, int id, int32_t& flag);
// The alpha option and the colour-channels option mean something for 32-bit images only. Other
// images show them disabled as "alpha left, colour written", which is what the operation does to
// them; the flags keep their values.
void ShowTrueColorOptions(HWND dialog, int alphaId, int colorId, bool is32Bit, int32_t alpha,
                          int32_t color);

// Shows text `textId` in a message box without owner (with caption `captionId`, 0 for none), and
// then gives the keyboard back to the dialog, which the box took it from and which the system does
// not reactivate: to field `field` with its text selected, ready to be typed over, or for 0 to the
// control that had it.
void DialogMessage(HWND dialog, int field, UINT textId, UINT captionId = 0,
                   UINT style = MB_TASKMODAL);

// A palette image paints with its own entries: an index its table does not have becomes 0, and
// the colour becomes that entry's, so that the swatch shows what OK will paint. An image without a
// table keeps the colour as it is.
void TakeTableColor(const ImageFacts& image, int32_t& index, uint8_t& red, uint8_t& green,
                    uint8_t& blue);
