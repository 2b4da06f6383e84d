#include "framework/cpu_dispatch.h"

#include <cstdlib>
#include <cstring>

namespace x91 {

CpuLevel cpu_level_available() {
#ifdef X91_CPU_AVX2
    // The compiler's runtime checks the processor's flags and, for AVX2,
    // that the system saves the wide registers across task switches.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return CpuLevel::avx2;
#endif
    return CpuLevel::portable;
}

CpuLevel choose_cpu_level(const char* setting, CpuLevel available) {
    CpuLevel limit = CpuLevel::portable;
    if (setting == nullptr || *setting == '\0' || std::strcmp(setting, "avx2") == 0)
        limit = CpuLevel::avx2;
    return available < limit ? available : limit;
}

CpuLevel cpu_level_from_environment() {
    return choose_cpu_level(std::getenv("X91_CPU"), cpu_level_available());
}

}  // namespace x91
