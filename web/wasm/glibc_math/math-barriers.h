/* Keeps an expression evaluated for its floating-point exceptions. */
#define math_force_eval(x)                   \
    do {                                     \
        volatile __typeof(x) x91_forced = x; \
        (void)x91_forced;                    \
    } while (0)
#define math_opt_barrier(x) (x)
