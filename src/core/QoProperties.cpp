#include "core/QoProperties.h"

#include "core/Settings.h"

namespace qv {

using automation::MakeRef;
using automation::Ref;
using automation::Variant;

QoProperty::QoProperty(const SettingInfo& info)
    : mName(info.name), mDataType(SettingTypeName(info.dataType)), mRegSave(info.regSave),
      mRegFormat(info.regFormat), mFileSave(info.fileSave), mSync(info.sync) {}

const automation::ClassInfo& QoProperty::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QoProperty",
                                {
                                    Property<&QoProperty::Key, &QoProperty::SetKey>(u"Key"),
                                    Property<&QoProperty::Name, &QoProperty::SetName>(u"Name"),
                                    Property<&QoProperty::DataType, &QoProperty::SetDataType>(u"DataType"),
                                    Default([] {
                                        MemberInfo value =
                                            Property<&QoProperty::Value, &QoProperty::SetValue>(u"Value");
                                        value.set = value.let;
                                        return value;
                                    }()),
                                    Property<&QoProperty::RegSave, &QoProperty::SetRegSave>(u"RegSave"),
                                    Property<&QoProperty::RegFormat, &QoProperty::SetRegFormat>(u"RegFormat"),
                                    Property<&QoProperty::FileSave, &QoProperty::SetFileSave>(u"FileSave"),
                                    Property<&QoProperty::Sync, &QoProperty::SetSync>(u"Sync"),
                                });
    return info;
}

const automation::ClassInfo& QoProperties::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QoProperties", {
                                                     Method<&QoProperties::AddMember>(u"Add"),
                                                     Method<&QoProperties::Count>(u"Count"),
                                                     Method<&QoProperties::DeleteMember>(u"Delete"),
                                                     Method<&QoProperties::PropertyExist>(u"PropertyExist"),
                                                     Default(Method<&QoProperties::Item>(u"Item")),
                                                     Method<&QoProperties::NewEnumMember>(u"NewEnum_prp"),
                                                 });
    return info;
}

bool QoProperties::Add(std::u16string_view Name, std::u16string_view DataType, bool RegSave,
                       std::int32_t RegFormat, bool FileSave, bool Sync) {
    if (Name.empty() || PropertyExist(Variant(Name))) {
        return false;
    }
    Ref<QoProperty> property = MakeRef<QoProperty>();
    property->SetName(std::u16string(Name));
    property->SetDataType(std::u16string(DataType));
    property->SetRegSave(RegSave);
    property->SetRegFormat(RegFormat);
    property->SetFileSave(FileSave);
    property->SetSync(Sync);
    mItems.Add(property, Name);
    Changed();
    return true;
}

bool QoProperties::AddMember(std::u16string Name, std::optional<std::u16string> DataType,
                             std::optional<bool> RegSave, std::optional<std::int32_t> RegFormat,
                             std::optional<bool> FileSave, std::optional<bool> Sync) {
    return Add(Name, DataType.value_or(std::u16string()), RegSave.value_or(false), RegFormat.value_or(0),
               FileSave.value_or(false), Sync.value_or(false));
}

QoProperty& QoProperties::Define(const SettingInfo& info) {
    Ref<QoProperty> property = MakeRef<QoProperty>(info);
    QoProperty& defined = *property;
    mItems.Add(property, info.name);
    Changed();
    return defined;
}

bool QoProperties::PropertyExist(const Variant& Index) const {
    // A number, Empty or Null never equals a name. The key index finds the one setting whose
    // name could match; the exact comparison then decides.
    if (!Index.IsString()) {
        return false;
    }
    const QoProperty* property = Find(Index.StringValue());
    return property != nullptr && property->Name() == Index.StringValue();
}

bool QoProperties::Delete(const Variant& Index) {
    if (Index.IsString() && Index.StringValue().empty()) {
        return false;
    }
    if (!PropertyExist(Index)) {
        return false;
    }
    mItems.Remove(Index.StringValue());
    Changed();
    return true;
}

Ref<QoProperty> QoProperties::Item(const Variant& Index) const {
    Variant item = mItems.Collection().Item(Index);
    if (!item.IsObject()) {
        return nullptr;
    }
    return Ref<QoProperty>(static_cast<QoProperty*>(item.ObjectValue().Get()));
}

void QoProperties::Clear() {
    mItems.Clear();
    Changed();
}

} // namespace qv
