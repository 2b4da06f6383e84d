#include "library/codec.h"

namespace x91 {

const char* version() {
    return X91_VERSION;
}

}  // namespace x91
