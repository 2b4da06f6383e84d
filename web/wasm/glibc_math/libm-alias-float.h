/* The functions are compiled under their public names: no aliases. */
#define libm_alias_float(from, to)
