#include "api/picture_conversion.h"

namespace x91 {

bool picture_from_c(const x91_picture* in, Picture& out) {
    if (in == nullptr || (in->data == nullptr && in->size > 0)) return false;
    out.type = in->type;
    out.mime_type = in->mime_type ? in->mime_type : "";
    out.description = in->description ? in->description : "";
    out.width = in->width;
    out.height = in->height;
    out.depth = in->depth;
    out.colours = in->colours;
    out.data.assign(in->data, in->data + in->size);
    return true;
}

void picture_to_c(const Picture& picture, x91_picture* out) {
    out->type = picture.type;
    out->mime_type = picture.mime_type.c_str();
    out->description = picture.description.c_str();
    out->width = picture.width;
    out->height = picture.height;
    out->depth = picture.depth;
    out->colours = picture.colours;
    out->data = picture.data.data();
    out->size = picture.data.size();
}

}  // namespace x91
