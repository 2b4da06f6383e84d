#include "library/transform_tables.h"

#include <mutex>

#include "dsp/fft.h"

namespace x91 {

void ensure_transform_tables() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (!da_fft_ready()) da_fft_init();
}

}  // namespace x91
