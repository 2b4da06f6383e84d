#include "format/settings.h"

namespace x91 {

const da_ESettings es = {{0.5f, 0.8f, 0.98f}, {102400, 4}};
const da_ISettings is = {{0.2f, 0.2f, 0.15f, 0.0f, 0.9f, 0.9f}, {1.1f}};
const da_DSettings ds = {{800}, {32, 32, 100}, {12, 32}, {16}};
const char* const XFileExt = "x91";

}  // namespace x91
