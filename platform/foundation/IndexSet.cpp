#include "platform/foundation/IndexSet.h"

#include <algorithm>

#include "platform/foundation/CollectionDescription.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(IndexSet, Object, "NSIndexSet")
RT_DEFINE_CLASS(MutableIndexSet, IndexSet, "NSMutableIndexSet")

namespace {
uint64_t endOf(const Range& r) { return r.location + r.length; }
}  // namespace

Ref<IndexSet> IndexSet::indexSet() { return std::make_shared<IndexSet>(); }

Ref<IndexSet> IndexSet::indexSetWithIndex(uint64_t index) { return indexSetWithIndexesInRange(Range{index, 1}); }

Ref<IndexSet> IndexSet::indexSetWithIndexesInRange(Range range) {
    auto set = std::make_shared<IndexSet>();
    set->addRange(range, "initWithIndexesInRange:");
    return set;
}

Ref<IndexSet> IndexSet::withRanges(std::vector<Range> ranges) {
    auto set = std::make_shared<IndexSet>();
    set->ranges_ = std::move(ranges);
    return set;
}

Ref<MutableIndexSet> MutableIndexSet::indexSet() { return std::make_shared<MutableIndexSet>(); }

uint64_t IndexSet::count() const {
    uint64_t n = 0;
    for (const Range& r : ranges_) n += r.length;
    return n;
}

uint64_t IndexSet::lastIndex() const { return ranges_.empty() ? NotFound : endOf(ranges_.back()) - 1; }

bool IndexSet::containsIndex(uint64_t index) const { return containsIndexesInRange(Range{index, 1}); }

bool IndexSet::containsIndexesInRange(Range range) const {
    if (range.length == 0) return false;
    // The last range starting at or before the location must cover it all.
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), range.location,
                               [](uint64_t location, const Range& r) { return location < r.location; });
    if (it == ranges_.begin()) return false;
    --it;
    return range.location >= it->location && endOf(range) <= endOf(*it);
}

void IndexSet::enumerateIndexesUsingBlock(const std::function<void(uint64_t, bool&)>& block) const {
    bool stop = false;
    // A copy: the block may change a mutable set it enumerates.
    std::vector<Range> ranges = ranges_;
    for (const Range& r : ranges) {
        for (uint64_t i = r.location; i < endOf(r); ++i) {
            block(i, stop);
            if (stop) return;
        }
    }
}

void IndexSet::enumerateRangesUsingBlock(const std::function<void(Range, bool&)>& block) const {
    bool stop = false;
    std::vector<Range> ranges = ranges_;
    for (const Range& r : ranges) {
        block(r, stop);
        if (stop) return;
    }
}

std::string IndexSet::description() const {
    std::string text = classAndAddress(*this);
    if (ranges_.empty()) return text + "(no indexes)";
    text += "[number of indexes: " + std::to_string(count()) + " (in " + std::to_string(ranges_.size()) +
            (ranges_.size() == 1 ? " range" : " ranges") + "), indexes: (";
    for (size_t i = 0; i < ranges_.size(); ++i) {
        if (i) text += ' ';
        text += std::to_string(ranges_[i].location);
        if (ranges_[i].length > 1) text += "-" + std::to_string(endOf(ranges_[i]) - 1);
    }
    return text + ")]";
}

bool IndexSet::isEqual(const Object* other) const {
    auto* set = dynamic_cast<const IndexSet*>(other);
    return set && isEqualToIndexSet(*set);
}

Id IndexSet::mutableCopy() const {
    auto copy = MutableIndexSet::indexSet();
    copy->ranges_ = ranges_;
    return copy;
}

Id MutableIndexSet::copy() const {
    return withRanges(ranges_);
}

void IndexSet::addRange(Range range, const char* selector) {
    if (range.length == 0) return;
    if (range.location >= NotFound || range.length > NotFound - range.location) {
        Exception::raise(InvalidArgumentException, "*** -[" + className() + " " + selector + "]: Range {" +
                                                       std::to_string(range.location) + ", " + std::to_string(range.length) +
                                                       "} exceeds maximum index value of NSNotFound - 1");
    }
    uint64_t start = range.location;
    uint64_t end = endOf(range);
    // Ranges that overlap or touch the new one merge into it.
    auto first = std::lower_bound(ranges_.begin(), ranges_.end(), start,
                                  [](const Range& r, uint64_t s) { return endOf(r) < s; });
    auto last = first;
    while (last != ranges_.end() && last->location <= end) {
        start = std::min(start, last->location);
        end = std::max(end, endOf(*last));
        ++last;
    }
    first = ranges_.erase(first, last);
    ranges_.insert(first, Range{start, end - start});
}

void IndexSet::removeRange(Range range) {
    if (range.length == 0) return;
    uint64_t start = range.location;
    uint64_t end = range.length > UINT64_MAX - start ? UINT64_MAX : endOf(range);
    std::vector<Range> kept;
    kept.reserve(ranges_.size() + 1);
    for (const Range& r : ranges_) {
        if (endOf(r) <= start || r.location >= end) {
            kept.push_back(r);
            continue;
        }
        if (r.location < start) kept.push_back(Range{r.location, start - r.location});
        if (endOf(r) > end) kept.push_back(Range{end, endOf(r) - end});
    }
    ranges_ = std::move(kept);
}

}  // namespace ns
