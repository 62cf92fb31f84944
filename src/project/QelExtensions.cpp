#include "project/QelExtensions.h"

#include "core/Apartment.h"
#include "core/VbText.h"
#include "core/cRegistry.h"

#include <vector>

namespace qv {

using automation::Variant;

namespace {

constexpr std::size_t Ordinal(QelExtension::Setting setting) {
    return static_cast<std::size_t>(setting);
}

} // namespace

const automation::ClassInfo& QelExtensions::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelExtensions",
                                {
                                    Method<&QelExtensions::curName>(u"curName"),
                                    Method<&QelExtensions::curSeq>(u"curSeq"),
                                    Method<&QelExtensions::AddMember>(u"Add"),
                                    Method<&QelExtensions::Count>(u"Count"),
                                    Method<&QelExtensions::Delete>(u"Delete"),
                                    Method<&QelExtensions::ExtensionExist>(u"ExtensionExist"),
                                    Default(Method<&QelExtensions::Item>(u"Item")),
                                    Method<&QelExtensions::Seq>(u"Seq"),
                                    Method<&QelExtensions::NewEnumMember>(u"NewEnum_ext"),
                                });
    return info;
}

bool QelExtensions::Matches(const automation::Object& entry, EntryNames names, NameCompare compare) const {
    return NameMatches(Cast(entry).Name(), names[0], compare);
}

std::optional<std::int16_t> QelExtensions::EntrySeq(const automation::Object& entry) const {
    return Cast(entry).Seq();
}

void QelExtensions::SetEntrySeq(automation::Object& entry, std::int16_t seq) {
    Cast(entry).SetSettingValue(Ordinal(QelExtension::Setting::Seq), Variant(seq));
}

void QelExtensions::MakeCurrent(const automation::Object& entry) {
    const QelExtension& extension = Cast(entry);
    try {
        std::u16string name = extension.Name();
        SetCursor(std::move(name), extension.Seq());
    } catch (const automation::Error&) {
        // A setting made unreadable through the bag leaves the cursor as it was.
    }
}

automation::Ref<automation::Object> QelExtensions::CreateEntry(EntryNames names) {
    automation::Ref<QelExtension> extension = automation::MakeRef<QelExtension>();
    extension->SetName(names[0]);
    return extension;
}

automation::Ref<QelExtension> QelExtensions::AddOrFind(std::u16string_view name) {
    return automation::Ref<QelExtension>(Cast(AdmitNamed(name)));
}

bool QelExtensions::Delete(const Variant& Index) {
    return RemoveNamed(Index);
}

bool QelExtensions::ExtensionExist(const Variant& Index) const {
    return FindNamed(Index) != nullptr;
}

automation::Ref<QelExtension> QelExtensions::Item(const Variant& Index) {
    return automation::Ref<QelExtension>(Cast(SelectNamed(Index)));
}

bool QelExtensions::AddExtension(std::u16string_view sName, std::u16string_view sTemplate) {
    automation::Ref<QelExtension> extension = AddOrFind(sName);
    if (!extension) {
        return false;
    }
    extension->SetTemplate(sTemplate);
    return true;
}

QelExtensions& GetExtensions() {
    return GetOrCreate<QelExtensions>(State().gExtensions);
}

void LoadRegisteredExtensions(QelExtensions& extensions) {
    const std::u16string section = State().gRegKeyExtensions;
    if (section.empty()) {
        return;
    }
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(RootKey::CurrentUser);
    registry.SetSectionKey(section);
    std::vector<std::u16string> names;
    std::int32_t count = 0;
    registry.EnumerateValues(names, count);
    for (const std::u16string& name : names) {
        registry.SetValueKey(name);
        const std::optional<std::u16string> data = TextOf(registry.Value());
        extensions.AddExtension(name, data.value_or(std::u16string()));
    }
}

} // namespace qv
