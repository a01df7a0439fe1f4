#pragma once
// The work the readers do, counted where it is done: in the codecs and
// around the calls into their libraries, not where a source asks for it.
// A source installs a scope around each call into a reader, so a test can
// weigh what one file cost against the file's size and its admitted
// pixels. Work done outside any scope is not counted.

#include <cstdint>

namespace cg {

struct CodecWork {
    // Directories of files of several pictures walked: an ICO or ICNS
    // entry list, a TIFF file's chain of directories walked by its reader.
    uint64_t directoryWalks = 0;
    // Headers read through a decoder library (PNG, JPEG, TIFF, JPEG 2000,
    // GIF; a TIFF page's directory): each is work the library does on
    // counts the file sets.
    uint64_t libraryHeaderReads = 0;
    // Bytes inflated or expanded from compressed data: decoded rows,
    // inflated chunks and strips, GIF indices.
    uint64_t bytesInflated = 0;
    // A progressive JPEG's scans read, and those scans times the blocks
    // each passes over.
    uint64_t progressiveScans = 0;
    uint64_t scanBlocks = 0;
    // TIFF strips and tiles whose place and size were checked.
    uint64_t stripsChecked = 0;
};

// Counts the work of the calls made on this thread while it lives into
// `into`; scopes nest, the innermost counts.
class CodecWorkScope {
public:
    explicit CodecWorkScope(CodecWork& into);
    ~CodecWorkScope();
    CodecWorkScope(const CodecWorkScope&) = delete;
    CodecWorkScope& operator=(const CodecWorkScope&) = delete;

private:
    CodecWork* previous_;
};

// Bumps the innermost scope's counters on this thread, if any.
namespace work {
void directoryWalk();
void libraryHeaderRead();
void inflated(uint64_t bytes);
void progressiveScans(uint64_t count);
void scanBlocks(uint64_t count);
void stripsChecked(uint64_t count);
}  // namespace work

}  // namespace cg
