/* glibc's result for an invalid argument (an infinity): NaN. The browser
 * has no errno to set. */
float __math_invalidf(float x) {
    return (x - x) / (x - x);
}
