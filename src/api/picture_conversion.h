// Pictures between the C interface's x91_picture and the block's Picture.
#pragma once

#include "format/picture_field.h"
#include "x91/x91.h"

namespace x91 {

// A copy of every part; false for a null picture, or data null with a size.
bool picture_from_c(const x91_picture* in, Picture& out);

// *out pointing into picture, which must outlive what reads it.
void picture_to_c(const Picture& picture, x91_picture* out);

}  // namespace x91
