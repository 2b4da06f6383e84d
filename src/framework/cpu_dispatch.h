// The choice, once per process, between the portable build of the hot loops
// and their AVX2 build, and the means to build both from one body.
//
// Both builds of a function give the same values: the vector build runs the
// same float operations in the same order for every value, only several
// independent values at a time (the build forbids contraction into fused
// multiply-add and fast-math's reassociation). Only a NaN's sign and payload
// may differ, as the compiler may swap the operands of a sum; no output
// depends on them. The AVX2 build exists only for speed, and
// X91_CPU=portable in the environment turns it off, so the portable code can
// be checked on any machine.
//
// Adding a function:
//   1. Write its body once, as a function of its own file. No maths library
//      calls in it but std::sqrt, which rounds exactly everywhere: the
//      library's other routines may differ from processor to processor. A
//      dispatched function it calls runs at the process's level.
//   2. Define the dispatched object from it:
//        const CpuVariants<void(const float*, float*, int)> scale_lines =
//            cpu_variants_of<scale_lines_body>;
//      or, for a hand-written vector version, from two functions:
//        const CpuVariants<Sig> f = {f_portable, X91_AVX2_OR(f_avx2, f_portable)};
//      with f_avx2 marked X91_TARGET_AVX2 and built only #if X91_CPU_AVX2.
//   3. Declare it in the layer's cpu_variants.h and add a row to the layer's
//      cpu_variants_test.cpp, which runs both builds on the same random and
//      edge inputs and requires the same bytes.
#pragma once

#include <type_traits>
#include <utility>

// Only x86-64 has a second build; elsewhere both entries are the portable one.
#if defined(__x86_64__) && defined(__GNUC__)
#define X91_CPU_AVX2 1
#define X91_TARGET_AVX2 __attribute__((target("avx2")))
#define X91_AVX2_OR(avx2, portable) avx2
#else
#define X91_TARGET_AVX2
#define X91_AVX2_OR(avx2, portable) portable
#endif

namespace x91 {

// Ordered: each level may use what the levels below it use.
enum class CpuLevel { portable, avx2 };

// What the processor offers, AVX2 included only when the system also saves
// its registers.
CpuLevel cpu_level_available();

// The level to run at: the highest the processor offers, lowered by the
// setting (X91_CPU; null when unset). "portable" keeps to the portable code,
// "avx2" allows AVX2; an empty setting limits nothing. Any other word also
// keeps to the portable code: it is always safe, and the bytes are the same.
CpuLevel choose_cpu_level(const char* setting, CpuLevel available);

// The level this process runs at, decided on first use from X91_CPU and the
// processor, and fixed from then on.
CpuLevel cpu_level_from_environment();
inline CpuLevel cpu_level() {
    static const CpuLevel level = cpu_level_from_environment();
    return level;
}

// The builds of one function. Calling the object runs the build of the
// process's level; tests call `portable` and `avx2` directly.
template <class Fn>
struct CpuVariants;

template <class R, class... Args>
struct CpuVariants<R(Args...)> {
    R (*portable)(Args...);
    R (*avx2)(Args...);

    R (*at(CpuLevel level) const)(Args...) { return level == CpuLevel::avx2 ? avx2 : portable; }
    R operator()(Args... args) const { return at(cpu_level())(std::forward<Args>(args)...); }
};

// Both builds from one body. `flatten` inlines the body and everything it
// calls into each build, so the AVX2 build is that code compiled for AVX2
// throughout, not a call back into the portable code.
template <auto Body, class Fn = decltype(Body)>
struct CpuBuilds;

template <auto Body, class R, class... Args>
struct CpuBuilds<Body, R (*)(Args...)> {
    __attribute__((flatten)) static R portable(Args... args) {
        return Body(std::forward<Args>(args)...);
    }
    X91_TARGET_AVX2 __attribute__((flatten)) static R avx2(Args... args) {
        return Body(std::forward<Args>(args)...);
    }
};

template <auto Body>
inline constexpr auto cpu_variants_of = CpuVariants<std::remove_pointer_t<decltype(Body)>>{
    CpuBuilds<Body>::portable, X91_AVX2_OR(CpuBuilds<Body>::avx2, CpuBuilds<Body>::portable)};

}  // namespace x91
