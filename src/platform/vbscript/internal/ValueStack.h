#pragma once

#include "platform/automation/Variant.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace qv::vbscript {

/// The values of running script code: each frame's locals followed by its operand stack, every
/// frame above its caller's. The slots live in segments that never move, so by-reference
/// variants may point at locals; a frame that does not fit in the rest of a segment starts the
/// next one. Every slot above the top is Empty, so a push constructs in place and a pop leaves
/// nothing to release. Owned by the Interpreter; native re-entries of the interpreter go on
/// above the values of the level that called out.
class ValueStack {
public:
    ValueStack();
    ValueStack(const ValueStack&) = delete;
    ValueStack& operator=(const ValueStack&) = delete;

    automation::Variant* Top() const noexcept { return mTop; }
    std::uint32_t Segment() const noexcept { return mSegment; }

    /// Pushes onto the Empty slot at the top. The compiler sizes every frame for the deepest its
    /// operand stack gets, so the segment always has the room; should a count ever fall short, the
    /// push raises "Out of stack space" (28) instead of writing past the segment, in every build.
    void Push(automation::Variant&& value) {
        if (mTop == mLimit) [[unlikely]] {
            Overflow();
        }
        std::construct_at(mTop++, std::move(value));
    }
    void Push(const automation::Variant& value) {
        if (mTop == mLimit) [[unlikely]] {
            Overflow();
        }
        std::construct_at(mTop, value);
        ++mTop;
    }
    /// Push for the interpreter loop's own pushes of one value, which the frame's room holds by
    /// the compiler's count (the room is checked when the frame is made): the hot cases go without
    /// a test of their own.
    void PushCounted(const automation::Variant& value) {
        assert(mTop < mLimit && "operand stack deeper than the compiler counted");
        std::construct_at(mTop, value);
        ++mTop;
    }
    void PushCounted(automation::Variant&& value) noexcept {
        assert(mTop < mLimit && "operand stack deeper than the compiler counted");
        std::construct_at(mTop++, std::move(value));
    }
    automation::Variant Pop() noexcept { return automation::Variant(std::move(*--mTop)); }
    /// Releases the top `count` values.
    void Drop(std::size_t count) noexcept {
        for (; count > 0; --count) {
            Clear(*--mTop);
        }
    }
    /// Releases everything from `from` (in the current segment, at or below the top) upward.
    void DropTo(automation::Variant* from) noexcept {
        // The top moves once: releasing a value never pushes (Class_Terminate is queued).
        automation::Variant* top = mTop;
        while (top != from) {
            Clear(*--top);
        }
        mTop = from;
    }
    /// The top after the values above it were moved away or released.
    void SetTop(automation::Variant* top) noexcept { mTop = top; }

    /// Whether the current segment has `count` slots from `from` (at or below the top) on.
    bool HasRoom(const automation::Variant* from, std::size_t count) const noexcept {
        return static_cast<std::size_t>(mLimit - from) >= count;
    }
    /// Room for `count` Empty slots from `from` (at or below the top of the current segment) on:
    /// `from` itself when the segment has that room, else the start of the next segment, which
    /// becomes current. The caller then sets the top inside the room.
    automation::Variant* Reserve(automation::Variant* from, std::size_t count) {
        return HasRoom(from, count) ? from : NextSegment(count);
    }
    /// Goes back to a segment left by Reserve, with `top` as the top; the later segments are
    /// Empty again by then.
    void Restore(automation::Variant* top, std::uint32_t segment) noexcept {
        mTop = top;
        if (segment != mSegment) {
            mSegment = segment;
            mLimit = mSegments[segment].slots.get() + mSegments[segment].size;
        }
    }

    /// Leaves `slot` Empty, releasing what it held.
    static void Clear(automation::Variant& slot) noexcept { automation::Variant discard(std::move(slot)); }

private:
    automation::Variant* NextSegment(std::size_t count);
    [[noreturn]] static void Overflow();

    struct Chunk {
        std::unique_ptr<automation::Variant[]> slots;
        std::size_t size = 0;
    };

    std::vector<Chunk> mSegments;
    std::uint32_t mSegment = 0;
    automation::Variant* mTop = nullptr;
    automation::Variant* mLimit = nullptr;
};

} // namespace qv::vbscript
