// The transform tables every encoder and decoder reads, built on first use.
#pragma once

namespace x91 {

// Builds the tables unless they are there. A program using the library gets
// them with its first encoder or decoder, for the rest of the process.
// Building them again after a release is allowed, so the lock is taken on
// every construction.
void ensure_transform_tables();

}  // namespace x91
