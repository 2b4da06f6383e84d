// The library's side of the tuned mode: the check of the choices a caller
// passes in, and their conversion into the encoder's setup.
#pragma once

#include "library/encoder_options.h"
#include "tuned/tuned_setup.h"

namespace x91 {

// ok, or invalid_argument naming the first choice out of range.
Result tuned_choices_problem(const TunedChoices& choices);

TunedEncoderSetup tuned_setup_from(const TunedChoices& choices);

}  // namespace x91
