// The caption step of a frame: one line of text, rendered by whoever can draw glyphs (GDI in the
// plug-in, FreeType in imagetool), merged into the framed image in the text colour by the mask
// engine.
#pragma once

#include <cstdint>

#include "dib/host_port.h"
#include "frame/frame.h"
#include "mask/mask.h"

// Where the caption's top-left corner goes in a framed image of `width` x `height` pixels for a
// caption of cx x cy pixels: centred (16), right (32) or left (anything else) across; centred (2),
// bottom (4) or top (anything else) down; y grows downwards. The halves truncate toward zero, so a
// caption wider than the image starts at a negative x and is clipped on both sides.
struct CaptionOrigin {
  int32_t x;
  int32_t y;
};
CaptionOrigin FRM_CaptionOrigin(uint32_t width, uint32_t height, int32_t cx, int32_t cy,
                                uint16_t alignment);

// Writes the caption that `glyphs` renders (its drawing window is the whole framed image) into
// `framed` in `text`'s colour: with invertFlag 0 the glyph pixels take the colour; otherwise every
// other pixel does and the glyphs show the image. On 32-bit images alphaFlag makes the coloured
// pixels opaque and colorFlag decides whether they take the colour or keep their own.
// `displayBits` is the screen depth the mask engine lays its work out for.
//
// `framed` is owned by the caller on entry. Returns the image the caller owns from then on: the
// captioned image (and `framed` freed), or `framed` itself, untouched, after the mask step's own
// message and IDS_FRAME_CAPTION_FAILED when the mask step failed.
HostBlock FRM_AddCaption(HostBlock framed, const FrameColor& text, uint16_t invertFlag,
                         uint16_t alphaFlag, uint16_t colorFlag, const MaskRenderer& glyphs,
                         uint32_t displayBits);
