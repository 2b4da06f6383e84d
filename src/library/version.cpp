#include "x91/x91.h"

namespace x91 {

const char* version() {
    return X91_VERSION;
}

}  // namespace x91
