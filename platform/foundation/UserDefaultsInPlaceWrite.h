#pragma once
// Writing the defaults file over itself, for a volume with no room for a
// new copy. The new bytes are padded with blanks (after the end of the
// property list, where a reader skips them) to the old file's length, so
// the one write leaves a whole file: no truncation follows it for a crash
// to miss. A write that fails part-way puts the old bytes back.
//
// Internal to UserDefaults.

#include <string>

#include "platform/foundation/Data.h"

namespace ns::detail {

// Empty when written; else why not, the file then as it was (unless the
// old bytes could not be put back either, which the text says).
std::string writeDefaultsInPlace(const std::string& path, const Data& data);

// Tests: how in-place writes end from now on.
enum class InPlaceCut {
    None,
    // The write stops halfway with the volume full, as a copy-on-write file
    // system may stop it.
    WriteFailsHalfway,
    // The process ends as soon as the bytes are written: nothing after the
    // write happens to the file.
    ProcessEndsAfterWrite,
};
void setInPlaceCutForTesting(InPlaceCut cut);

}  // namespace ns::detail
