#pragma once

#include "project/SequencedList.h"
#include "project/internal/QelChart.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// An ordered list of charts keyed by name, numbered 1 to Count by their ChartSeq, with a
/// cursor (curName, curSeq). Free-standing: no project object holds one. ChartExist, Item and
/// Delete compare names exactly; Add follows the lists' case rule (SequencedList).
class QelCharts final : public NamedCursorListOf<QelChart> {
public:
    QelCharts() = default;

    const automation::ClassInfo& GetClassInfo() const override;

    /// Appends a new chart (ChartVar the identifier form of the name), or makes the chart the
    /// name denotes current. False, changing nothing, for "".
    bool Add(std::u16string_view Name) { return static_cast<bool>(AddOrFind(Name)); }
    /// Renames the chart named `OldName` exactly: ChartName and ChartVar follow, it keeps its
    /// place and number and becomes current. False for an empty name or an unknown OldName;
    /// 457, changing nothing, when another chart bears NewName in any letter case.
    bool Change(std::u16string_view OldName, std::u16string_view NewName);
    /// Removes the chart named `Index` exactly and numbers the rest 1 to Count again; the
    /// cursor stays. False for "", a value that is no text or an unknown name.
    bool Delete(const automation::Variant& Index);
    bool ChartExist(const automation::Variant& Index) const;
    /// The chart at a position (a number) or named exactly (text), made current; no object
    /// (cursor unchanged) for another kind of value or no match.
    automation::Ref<QelChart> Item(const automation::Variant& Index);

    /// The lists' case rule for one name: the chart the name denotes, made current, or a new
    /// one; no object for "".
    automation::Ref<QelChart> AddOrFind(std::u16string_view name);

protected:
    bool Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const override;
    std::optional<std::int16_t> EntrySeq(const automation::Object& entry) const override;
    void SetEntrySeq(automation::Object& entry, std::int16_t seq) override;
    void MakeCurrent(const automation::Object& entry) override;
    automation::Ref<automation::Object> CreateEntry(EntryNames names) override;

private:
    bool AddMember(std::u16string Name) { return Add(Name); }
    bool ChangeMember(std::u16string OldName, std::u16string NewName) { return Change(OldName, NewName); }
};

} // namespace qv
