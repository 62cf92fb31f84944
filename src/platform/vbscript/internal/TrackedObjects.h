#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"

#include <utility>

namespace qv::vbscript {

class TrackedPlace;

/// The objects one engine's scripts made that can hold other values (class instances,
/// dictionaries): where the engine's end looks for those that only a cycle keeps alive. Each
/// object holds the list through its place in it, so the list outlives them all.
class TrackedList final : public automation::RefCounted {
public:
    TrackedPlace* First() const noexcept { return mFirst; }

private:
    friend class TrackedPlace;
    TrackedPlace* mFirst = nullptr;
};

/// An object's place in a TrackedList, a member of the object; it leaves the list when the object
/// goes.
class TrackedPlace {
public:
    TrackedPlace() noexcept = default;
    TrackedPlace(const TrackedPlace&) = delete;
    TrackedPlace& operator=(const TrackedPlace&) = delete;
    ~TrackedPlace() { Leave(); }

    /// Puts `object`, which holds this place, into `list`.
    void Join(automation::Ref<TrackedList> list, automation::Object& object) noexcept {
        Leave();
        mList = std::move(list);
        mObject = &object;
        mNext = std::exchange(mList->mFirst, this);
        if (mNext) {
            mNext->mPrevious = this;
        }
    }
    automation::Object& Owner() const noexcept { return *mObject; }
    TrackedPlace* Next() const noexcept { return mNext; }

private:
    void Leave() noexcept {
        if (!mList) {
            return;
        }
        if (mPrevious) {
            mPrevious->mNext = mNext;
        } else {
            mList->mFirst = mNext;
        }
        if (mNext) {
            mNext->mPrevious = mPrevious;
        }
        mPrevious = nullptr;
        mNext = nullptr;
        mList = nullptr;
    }

    automation::Ref<TrackedList> mList;
    automation::Object* mObject = nullptr;
    TrackedPlace* mPrevious = nullptr;
    TrackedPlace* mNext = nullptr;
};

/// Frees the objects of `list` that nothing but each other holds (cycles of class instances and
/// dictionaries, through arrays or not) by emptying them, and with them whatever they alone held;
/// an object the host or anything outside the list still reaches keeps all it holds. Called once
/// the engine is detached, so that no Class_Terminate runs for them, as none would have.
void ReleaseCycles(const TrackedList& list) noexcept;

} // namespace qv::vbscript
