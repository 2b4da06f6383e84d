/* glibc's internal maths header: nothing of it is needed here. */
