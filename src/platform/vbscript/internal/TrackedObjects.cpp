#include "platform/vbscript/internal/TrackedObjects.h"

#include "platform/vbscript/internal/ScriptObjects.h"
#include "platform/vbscript/library/Dictionary.h"

#include "platform/automation/Variant.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <unordered_map>
#include <vector>

namespace qv::vbscript {

using automation::Object;
using automation::Ref;
using automation::RefCounted;
using automation::Variant;

namespace {

enum class HolderKind : std::uint8_t { Instance, Dictionary, Array };

/// The objects of a list and the arrays they reach, with the references they hold to one
/// another. A holder that has more references than the others hold is reached from outside
/// (a variable of the host, an object outside the list); so is everything it holds. What is
/// left is held only by itself and the others left, in cycles or below them.
class HolderGraph {
public:
    explicit HolderGraph(const TrackedList& list) {
        for (const TrackedPlace* place = list.First(); place; place = place->Next()) {
            Object& object = place->Owner();
            Add(&object, AsInstance(object) ? HolderKind::Instance : HolderKind::Dictionary);
        }
        mTrackedCount = mHolders.size();
        // Arrays join as they are met, so the loop runs on until the last one added.
        for (std::size_t index = 0; index < mHolders.size(); ++index) {
            ForEachHeld(index, [this](std::size_t held) { ++mHolders[held].heldWithin; });
        }
    }

    /// The objects of the list that nothing outside reaches.
    std::vector<Ref<Object>> Unreached() {
        std::vector<std::size_t> pending;
        for (std::size_t index = 0; index < mHolders.size(); ++index) {
            if (mHolders[index].object->RefCount() > mHolders[index].heldWithin) {
                mHolders[index].reached = true;
                pending.push_back(index);
            }
        }
        while (!pending.empty()) {
            const std::size_t index = pending.back();
            pending.pop_back();
            ForEachHeld(index, [this, &pending](std::size_t held) {
                if (!mHolders[held].reached) {
                    mHolders[held].reached = true;
                    pending.push_back(held);
                }
            });
        }
        std::vector<Ref<Object>> unreached;
        for (std::size_t index = 0; index < mTrackedCount; ++index) {
            if (!mHolders[index].reached) {
                unreached.emplace_back(static_cast<Object*>(const_cast<RefCounted*>(mHolders[index].object)));
            }
        }
        return unreached;
    }

private:
    struct Holder {
        const RefCounted* object;
        HolderKind kind;
        std::uint32_t heldWithin = 0; // references the other holders have to it
        bool reached = false;
    };

    std::size_t Add(const RefCounted* object, HolderKind kind) {
        auto [at, added] = mIndex.try_emplace(object, mHolders.size());
        if (added) {
            mHolders.push_back(Holder{object, kind});
        }
        return at->second;
    }

    /// The holder a value is, if any: an array (added when new) or an object of the list.
    std::optional<std::size_t> HolderOf(const Variant& value) {
        if (value.IsArray()) {
            return Add(value.ArrayValue().Get(), HolderKind::Array);
        }
        if (value.IsObject() && value.ObjectValue()) {
            auto found = mIndex.find(value.ObjectValue().Get());
            if (found != mIndex.end()) {
                return found->second;
            }
        }
        return std::nullopt;
    }

    /// Calls `visit` with the holder of every value the holder at `index` holds, once per
    /// reference.
    template <class Visit> void ForEachHeld(std::size_t index, Visit visit) {
        auto value = [this, &visit](const Variant& held) {
            if (std::optional<std::size_t> holder = HolderOf(held)) {
                visit(*holder);
            }
        };
        const RefCounted* object = mHolders[index].object;
        switch (mHolders[index].kind) {
        case HolderKind::Instance:
            for (const Variant& field : static_cast<const ClassInstance*>(object)->Fields()) {
                value(field);
            }
            return;
        case HolderKind::Dictionary:
            static_cast<const Dictionary*>(object)->VisitValues(value);
            return;
        case HolderKind::Array:
            for (const Variant& element : static_cast<const automation::SafeArray*>(object)->Elements()) {
                value(element);
            }
            return;
        }
        assert(false && "a holder of no known kind");
    }

    std::vector<Holder> mHolders;
    std::unordered_map<const RefCounted*, std::size_t> mIndex;
    std::size_t mTrackedCount = 0;
};

// A reference that keeps the owner of `place` from going meanwhile. One whose count is zero is
// being released already, inside another object's release, and goes only once that is over:
// it needs no holding, and must not be counted again.
Ref<Object> Hold(const TrackedPlace* place) noexcept {
    if (!place || place->Owner().RefCount() == 0) {
        return nullptr;
    }
    return Ref<Object>(&place->Owner());
}

// Empties the fields of every instance of the list. What a field held may go at once and leave
// the list, so the object at hand and the next one are held while the fields go: the walk never
// stands on a place that left.
void ReleaseInstanceFields(const TrackedList& list) noexcept {
    const TrackedPlace* place = list.First();
    Ref<Object> held = Hold(place);
    while (place) {
        const TrackedPlace* next = place->Next();
        Ref<Object> heldNext = Hold(next);
        if (ClassInstance* instance = AsInstance(place->Owner())) {
            instance->ReleaseFields();
        }
        place = next;
        held = std::move(heldNext);
    }
}

} // namespace

void ReleaseOrphans(const TrackedList& list) noexcept {
    ReleaseInstanceFields(list);
    if (!list.First()) {
        return;
    }
    std::vector<Ref<Object>> unreached;
    try {
        unreached = HolderGraph(list).Unreached();
    } catch (const std::bad_alloc&) {
        // No room to look: the cycles stay, as they would have without the look.
        return;
    }
    // Held while they are emptied, so that none goes before its turn; they go together at the end.
    // The instances among them hold nothing by now.
    for (const Ref<Object>& object : unreached) {
        if (!AsInstance(*object)) {
            static_cast<Dictionary&>(*object).RemoveAll();
        }
    }
}

} // namespace qv::vbscript
