#include "platform/vbscript/internal/ValueStack.h"

#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"

#include <algorithm>
#include <cassert>

namespace qv::vbscript {

namespace {

// A small first segment for the many engines that run a page's worth of code; deep recursion
// gets large ones.
constexpr std::size_t FirstSegmentSize = 4096;
constexpr std::size_t LaterSegmentSize = 65536;

} // namespace

ValueStack::ValueStack() {
    mSegments.push_back(Chunk{std::make_unique<automation::Variant[]>(FirstSegmentSize), FirstSegmentSize});
    mTop = mSegments[0].slots.get();
    mLimit = mTop + FirstSegmentSize;
}

void ValueStack::Overflow() {
    assert(false && "operand stack deeper than the compiler counted");
    automation::Raise(automation::ErrorNumber::OutOfStackSpace);
}

automation::Variant* ValueStack::NextSegment(std::size_t count) {
    std::uint32_t next = mSegment + 1;
    if (next == mSegments.size()) {
        std::size_t size = std::max(LaterSegmentSize, count);
        // Deep recursion of procedures with many locals takes its memory here, a segment at a time.
        automation::CheckAllocation(size, sizeof(automation::Variant));
        mSegments.push_back(Chunk{std::make_unique<automation::Variant[]>(size), size});
    } else if (mSegments[next].size < count) {
        // Unused (so all Empty) and too short: replace it.
        automation::CheckAllocation(count, sizeof(automation::Variant));
        mSegments[next] = Chunk{std::make_unique<automation::Variant[]>(count), count};
    }
    mSegment = next;
    mLimit = mSegments[next].slots.get() + mSegments[next].size;
    return mSegments[next].slots.get();
}

} // namespace qv::vbscript
