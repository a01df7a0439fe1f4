#include "platform/graphics/CodecWork.h"

namespace cg {

namespace {
// Raw: the scope that set it outlives every call made under it.
thread_local CodecWork* current = nullptr;
}  // namespace

CodecWorkScope::CodecWorkScope(CodecWork& into) : previous_(current) { current = &into; }

CodecWorkScope::~CodecWorkScope() { current = previous_; }

namespace work {
void directoryWalk() {
    if (current) ++current->directoryWalks;
}
void libraryHeaderRead() {
    if (current) ++current->libraryHeaderReads;
}
void inflated(uint64_t bytes) {
    if (current) current->bytesInflated += bytes;
}
void progressiveScans(uint64_t count) {
    if (current) current->progressiveScans += count;
}
void scanBlocks(uint64_t count) {
    if (current) current->scanBlocks += count;
}
void stripsChecked(uint64_t count) {
    if (current) current->stripsChecked += count;
}
}  // namespace work

}  // namespace cg
