#include "project/SequencedList.h"

#include "core/VbText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <array>

namespace qv {

bool SequencedList::SafeMatches(const automation::Object& entry, EntryNames names,
                                NameCompare compare) const {
    // An entry whose texts were made unreadable through its bag bears no name.
    try {
        return Matches(entry, names, compare);
    } catch (const automation::Error&) {
        return false;
    }
}

automation::Object* SequencedList::FindEntry(EntryNames names, NameCompare compare) const {
    for (std::int32_t position = 1; position <= Count(); ++position) {
        automation::Object* entry = mItems.At(position);
        if (SafeMatches(*entry, names, compare)) {
            return entry;
        }
    }
    return nullptr;
}

automation::Object* SequencedList::ResolveEntry(EntryNames names) const {
    if (automation::Object* entry = FindEntry(names, NameCompare::Exact)) {
        return entry;
    }
    return FindEntry(names, NameCompare::IgnoringCase);
}

automation::Object* SequencedList::AdmitEntry(EntryNames names) {
    if (automation::Object* entry = ResolveEntry(names)) {
        MakeCurrent(*entry);
        return entry;
    }
    if (Count() >= MaxCount) {
        automation::Raise(automation::ErrorNumber::Overflow);
    }
    automation::Ref<automation::Object> entry = CreateEntry(names);
    // The key only tells entries apart; it never changes and never collides.
    mItems.Add(entry, NumberText(static_cast<std::int64_t>(++mNextKey)));
    SetEntrySeq(*entry, static_cast<std::int16_t>(Count()));
    MakeCurrent(*entry);
    return entry.Get();
}

automation::Object* SequencedList::EntryBySeq(std::int16_t seq) const {
    for (std::int32_t position = 1; position <= Count(); ++position) {
        automation::Object* entry = mItems.At(position);
        try {
            if (EntrySeq(*entry) == seq) {
                return entry;
            }
        } catch (const automation::Error&) {
            // A number made unreadable through the bag numbers nothing.
        }
    }
    return nullptr;
}

bool SequencedList::RemoveEntry(const automation::Object& entry) {
    for (std::int32_t position = 1; position <= Count(); ++position) {
        if (mItems.At(position) != &entry) {
            continue;
        }
        // Keep the entry alive until its successors are numbered: the caller may hold it only
        // through the list.
        automation::Ref<automation::Object> removed(mItems.At(position));
        mItems.RemoveAt(position);
        // Numbered by position, so that the numbers stay 1 to Count even when one was written
        // by hand.
        for (std::int32_t later = position; later <= Count(); ++later) {
            try {
                SetEntrySeq(*mItems.At(later), static_cast<std::int16_t>(later));
            } catch (const automation::Error&) {
                // A number deleted from the entry's bag stays deleted.
            }
        }
        return true;
    }
    return false;
}

bool SequencedList::NameMatches(std::u16string_view own, std::u16string_view given,
                                NameCompare compare) noexcept {
    return compare == NameCompare::Exact ? own == given : automation::EqualsNoCase(own, given);
}

automation::Object* SequencedList::FindNamed(const automation::Variant& index) const {
    const automation::Variant& name = index.Deref();
    if (!name.IsString()) {
        return nullptr;
    }
    const std::array<std::u16string_view, 1> names{name.StringValue()};
    return FindEntry(names, NameCompare::Exact);
}

automation::Object* SequencedList::SelectNamed(const automation::Variant& index) {
    automation::Object* entry = FindNamed(index);
    if (entry != nullptr) {
        MakeCurrent(*entry);
    }
    return entry;
}

bool SequencedList::RemoveNamed(const automation::Variant& index) {
    const automation::Variant& name = index.Deref();
    if (name.IsString() && name.StringValue().empty()) {
        return false;
    }
    automation::Object* entry = FindNamed(name);
    return entry != nullptr && RemoveEntry(*entry);
}

automation::Object* SequencedList::AdmitNamed(std::u16string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    const std::array<std::u16string_view, 1> names{name};
    return AdmitEntry(names);
}

} // namespace qv
