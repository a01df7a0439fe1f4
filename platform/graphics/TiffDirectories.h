#pragma once
// A TIFF file's chain of directories, walked by our own reader before
// libtiff reads any of them. libtiff copies every entry's value when it
// reads a directory, private tags included, and keeps the copies until the
// next one; entries may all name the same bytes, so a small file could ask
// it for gigabytes. Each unknown tag also costs it a sort of its tag list,
// so its time grows with the square of a page's entries. The walk admits
// the pages, in the chain's order, before the first that would pass:
// - `MaximumTiffEntriesPerPage` entries in its directory, or
//   `MaximumTiffEntriesPerFile` with the pages before it;
// - the file's own length in value bytes, summed over its entries and the
//   pages before it with overlaps counted each time (values that lie in
//   the file once always fit, however large a private tag is).
// The strip and tile arrays are left out of the sum: libtiff loads them an
// entry at a time as they are asked for, and the codec weighs them itself.

#include <cstdint>
#include <span>
#include <vector>

namespace cg::still {

// Ordinary pages have a few dozen entries; a camera's or a scanner's rarely
// a hundred.
inline constexpr uint64_t MaximumTiffEntriesPerPage = 512;
// 256 pages of 64 entries, or 32 of the most a page may have.
inline constexpr uint64_t MaximumTiffEntriesPerFile = 16'384;

// Where each admitted page's directory lies, at most `maximumPages`;
// empty when the data is no TIFF or its first page is refused. Pages past
// a rule, a directory not wholly in the data or a loop in the chain are
// not admitted; a rule that stops the walk is logged.
std::vector<uint64_t> tiffDirectories(std::span<const uint8_t> data, size_t maximumPages);

// Whether the one directory at `offset` is within a page's rules: the
// check of the page a decode reads, without walking the chain again.
bool tiffDirectoryWeighed(std::span<const uint8_t> data, uint64_t offset);

}  // namespace cg::still
