#include "library/version.h"

namespace x91 {

const char* version() {
    return X91_VERSION;
}

}  // namespace x91
