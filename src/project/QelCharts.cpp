#include "project/QelCharts.h"

#include "core/Common.h"
#include "core/QelVars.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <array>
#include <cmath>
#include <limits>

namespace qv {

using automation::Variant;
using automation::VarType;

namespace {

constexpr std::size_t Ordinal(QelChart::Setting setting) {
    return static_cast<std::size_t>(setting);
}

/// The position a numeric index names, or nullopt for a value that is no number or lies beyond
/// every position.
std::optional<std::int32_t> PositionIndex(const Variant& index) {
    const VarType type = index.Type();
    if (type == VarType::Integer || type == VarType::Long || type == VarType::Byte) {
        return automation::ToLong(index);
    }
    if (type != VarType::Single && type != VarType::Double) {
        return std::nullopt;
    }
    const double value = automation::ToDouble(index);
    if (!std::isfinite(value) || value <= std::numeric_limits<std::int32_t>::min() - 0.5 ||
        value >= std::numeric_limits<std::int32_t>::max() + 0.5) {
        return std::nullopt;
    }
    return automation::ToLong(index); // rounds half to even, as the runtime does
}

} // namespace

const automation::ClassInfo& QelCharts::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelCharts", {
                                                  Method<&QelCharts::curName>(u"curName"),
                                                  Method<&QelCharts::curSeq>(u"curSeq"),
                                                  Method<&QelCharts::AddMember>(u"Add"),
                                                  Method<&QelCharts::ChangeMember>(u"Change"),
                                                  Method<&QelCharts::Count>(u"Count"),
                                                  Method<&QelCharts::Delete>(u"Delete"),
                                                  Method<&QelCharts::ChartExist>(u"ChartExist"),
                                                  Default(Method<&QelCharts::Item>(u"Item")),
                                                  Method<&QelCharts::Seq>(u"Seq"),
                                                  Method<&QelCharts::NewEnumMember>(u"NewEnum_cht"),
                                              });
    return info;
}

std::u16string QelCharts::curSeq() const {
    return NumberText(mCurSeq);
}

bool QelCharts::Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const {
    const std::u16string name = Cast(entry).ChartName();
    return compare == NameCompare::Exact ? name == names[0] : automation::EqualsNoCase(name, names[0]);
}

std::optional<std::int16_t> QelCharts::EntrySeq(const automation::Object& entry) const {
    return Cast(entry).ChartSeq();
}

void QelCharts::SetEntrySeq(automation::Object& entry, std::int16_t seq) {
    Cast(entry).SetSettingValue(Ordinal(QelChart::Setting::ChartSeq), Variant(seq));
}

void QelCharts::MakeCurrent(const automation::Object& entry) {
    const QelChart& chart = Cast(entry);
    try {
        mCurName = chart.ChartName();
        mCurSeq = chart.ChartSeq();
    } catch (const automation::Error&) {
        // A setting made unreadable through the bag leaves the cursor.
    }
}

automation::Ref<automation::Object> QelCharts::CreateEntry(EntryNames names) {
    automation::Ref<QelChart> chart = automation::MakeRef<QelChart>();
    chart->SetChartName(names[0]);
    chart->SetChartVar(ToIdentifier(names[0], u""));
    return chart;
}

automation::Ref<QelChart> QelCharts::AddOrFind(std::u16string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    const std::array<std::u16string_view, 1> names{name};
    return automation::Ref<QelChart>(Cast(AdmitEntry(names)));
}

bool QelCharts::Change(std::u16string_view OldName, std::u16string_view NewName) {
    if (OldName.empty() || NewName.empty()) {
        return false;
    }
    const std::array<std::u16string_view, 1> oldNames{OldName};
    automation::Object* entry = FindEntry(oldNames, NameCompare::Exact);
    if (entry == nullptr) {
        return false;
    }
    // Two charts of one name in different letter case could not be told apart by the lists'
    // case rule; a change of letter case alone renames in place.
    const std::array<std::u16string_view, 1> newNames{NewName};
    for (std::int32_t position = 1; position <= Count(); ++position) {
        automation::Object* other = EntryAt(position);
        if (other != entry && SafeMatches(*other, newNames, NameCompare::IgnoringCase)) {
            automation::Raise(automation::ErrorNumber::DuplicateKey);
        }
    }
    QelChart& chart = Cast(*entry);
    chart.SetChartName(NewName);
    chart.SetChartVar(ToIdentifier(NewName, u""));
    MakeCurrent(chart);
    return true;
}

bool QelCharts::Delete(const Variant& Index) {
    const Variant& index = Index.Deref();
    if (!index.IsString() || index.StringValue().empty()) {
        return false;
    }
    const std::array<std::u16string_view, 1> names{index.StringValue()};
    automation::Object* entry = FindEntry(names, NameCompare::Exact);
    return entry != nullptr && RemoveEntry(*entry);
}

bool QelCharts::ChartExist(const Variant& Index) const {
    const Variant& index = Index.Deref();
    if (!index.IsString()) {
        return false;
    }
    const std::array<std::u16string_view, 1> names{index.StringValue()};
    return FindEntry(names, NameCompare::Exact) != nullptr;
}

automation::Ref<QelChart> QelCharts::Item(const Variant& Index) {
    const Variant& index = Index.Deref();
    automation::Object* entry = nullptr;
    if (index.IsString()) {
        const std::array<std::u16string_view, 1> names{index.StringValue()};
        entry = FindEntry(names, NameCompare::Exact);
    } else if (std::optional<std::int32_t> position = PositionIndex(index)) {
        entry = EntryAt(*position);
    }
    if (entry == nullptr) {
        return nullptr;
    }
    MakeCurrent(*entry);
    return automation::Ref<QelChart>(Cast(entry));
}

} // namespace qv
