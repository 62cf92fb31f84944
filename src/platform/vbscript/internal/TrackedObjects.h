#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"

#include <utility>

namespace qv::vbscript {

class TrackedPlace;

/// The objects one engine's scripts made that can hold other values (class instances,
/// dictionaries): where the engine's end looks for what they hold that must go with it. Each
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

/// What the end or reset of the engine of `list` frees of what its scripts made, called once the
/// engine is detached, so that no Class_Terminate runs for what goes, as none would have. Every
/// class instance gives up its fields: whoever still holds it, no script or host reaches its
/// members again, so the cycles it was in break and what it held goes when the host lets go.
/// Dictionaries that nothing but each other holds (through arrays or not) are emptied, with what
/// they alone held; one the host or anything outside the list still reaches keeps all it holds.
void ReleaseOrphans(const TrackedList& list) noexcept;

} // namespace qv::vbscript
