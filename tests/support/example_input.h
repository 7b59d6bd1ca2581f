// A realistic small input that uses every kind of record: the bundled example file, also the
// base of the robustness tests and the fuzzing corpus.
#pragma once

#include "tests/support/encoder.h"

namespace asciify::test_support {

// A small data file whose bulk data are binary sections using every kind of record, in both
// byte orders, around ordinary text lines.
encoder example_input();

}  // namespace asciify::test_support
