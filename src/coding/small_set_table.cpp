#include "coding/small_set_table.h"

namespace x91 {

const small_set_detail::SmallSetTable kSmallSetTable = small_set_detail::build_table();

}  // namespace x91
