#pragma once
// A set of indexes kept as sorted, disjoint, non-touching ranges.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class IndexSet : public Object {
    RT_DECLARE_CLASS(IndexSet)
public:
    IndexSet() = default;
    static Ref<IndexSet> indexSet();
    static Ref<IndexSet> indexSetWithIndex(uint64_t index);
    // Indexes from NotFound on raise NSInvalidArgumentException.
    static Ref<IndexSet> indexSetWithIndexesInRange(Range range);

    uint64_t count() const;
    // NotFound when empty.
    uint64_t firstIndex() const { return ranges_.empty() ? NotFound : ranges_.front().location; }
    uint64_t lastIndex() const;
    bool containsIndex(uint64_t index) const;
    bool containsIndexesInRange(Range range) const;
    void enumerateIndexesUsingBlock(const std::function<void(uint64_t index, bool& stop)>& block) const;
    void enumerateRangesUsingBlock(const std::function<void(Range range, bool& stop)>& block) const;
    bool isEqualToIndexSet(const IndexSet& other) const { return ranges_ == other.ranges_; }

    // "<NSIndexSet: 0x...>[number of indexes: 3 (in 2 ranges), indexes: (1-2 5)]"
    std::string description() const override;
    uint64_t hash() const override { return count(); }
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }
    Id mutableCopy() const override;

protected:
    static Ref<IndexSet> withRanges(std::vector<Range> ranges);
    void addRange(Range range, const char* selector);
    void removeRange(Range range);

    std::vector<Range> ranges_;
};

class MutableIndexSet : public IndexSet {
    RT_DECLARE_CLASS(MutableIndexSet)
public:
    static Ref<MutableIndexSet> indexSet();

    void addIndex(uint64_t index) { addRange(Range{index, 1}, "addIndex:"); }
    void addIndexesInRange(Range range) { addRange(range, "addIndexesInRange:"); }
    void removeIndex(uint64_t index) { removeRange(Range{index, 1}); }
    void removeIndexesInRange(Range range) { removeRange(range); }
    void removeAllIndexes() { ranges_.clear(); }

    // An immutable index set of the same indexes.
    Id copy() const override;
};

}  // namespace ns
