#include "project/internal/QelCharts.h"

#include "model/EntityList.h"

#include "core/QelVars.h"
#include "core/VbText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <array>

namespace qv {

using automation::Variant;

namespace {

constexpr std::size_t Ordinal(QelChart::Setting setting) {
    return static_cast<std::size_t>(setting);
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

bool QelCharts::Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const {
    return NameMatches(Cast(entry).ChartName(), names[0], compare);
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
        std::u16string name = chart.ChartName();
        SetCursor(std::move(name), chart.ChartSeq());
    } catch (const automation::Error&) {
        // A setting made unreadable through the bag leaves the cursor as it was.
    }
}

automation::Ref<automation::Object> QelCharts::CreateEntry(EntryNames names) {
    automation::Ref<QelChart> chart = automation::MakeRef<QelChart>();
    chart->SetChartName(names[0]);
    chart->SetChartVar(ToIdentifier(names[0], u""));
    return chart;
}

automation::Ref<QelChart> QelCharts::AddOrFind(std::u16string_view name) {
    return automation::Ref<QelChart>(Cast(AdmitNamed(name)));
}

bool QelCharts::Change(std::u16string_view OldName, std::u16string_view NewName) {
    if (OldName.empty() || NewName.empty()) {
        return false;
    }
    automation::Object* entry = FindNamed(Variant(OldName));
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
    return RemoveNamed(Index);
}

bool QelCharts::ChartExist(const Variant& Index) const {
    return FindNamed(Index) != nullptr;
}

automation::Ref<QelChart> QelCharts::Item(const Variant& Index) {
    const Variant& index = Index.Deref();
    if (std::optional<std::int32_t> position = PositionIndex(index)) {
        automation::Object* entry = EntryAt(*position);
        if (entry != nullptr) {
            MakeCurrent(*entry);
        }
        return automation::Ref<QelChart>(Cast(entry));
    }
    return automation::Ref<QelChart>(Cast(SelectNamed(index)));
}

} // namespace qv
