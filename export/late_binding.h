// SPDX-License-Identifier: MIT
// libsndfile is opened when the first sample is encoded as an audio file,
// not when the program starts.
#pragma once

namespace vorneck {

// Opens libsndfile, once; nullptr when it can be used, else why not (its
// soname and the loader's reason), for the messages of the samples that
// then cannot be written.
const char* AudioLibraryProblem();

}  // namespace vorneck
