#include "coding/small_set_table.h"

const small_set_detail::SmallSetTable kSmallSetTable = small_set_detail::build_table();
