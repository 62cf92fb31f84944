#include "model/field/QelFields.h"

namespace qv {

namespace {

automation::Ref<SettingsEntity> CreateField() {
    return automation::MakeRef<QelField>();
}

constexpr std::size_t Ordinal(QelField::Setting setting) {
    return static_cast<std::size_t>(setting);
}

constexpr EntityListShape FieldListShape{Ordinal(QelField::Setting::FldName),
                                         Ordinal(QelField::Setting::FldSeq),
                                         Ordinal(QelField::Setting::FldVar), u"x_", &CreateField};

} // namespace

QelFields::QelFields() : EntityListOf<QelField>(FieldListShape) {}

const automation::ClassInfo& QelFields::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelFields", {
                                                  Method<&QelFields::curName>(u"curName"),
                                                  Method<&QelFields::curSeq>(u"curSeq"),
                                                  Method<&QelFields::AddMember>(u"Add"),
                                                  Method<&QelFields::ChangeMember>(u"Change"),
                                                  Method<&QelFields::Count>(u"Count"),
                                                  Method<&QelFields::DeleteMember>(u"Delete"),
                                                  Method<&QelFields::FieldExist>(u"FieldExist"),
                                                  Default(Method<&QelFields::Item>(u"Item")),
                                                  Method<&QelFields::Seq>(u"Seq"),
                                                  Method<&QelFields::SetItem>(u"SetItem"),
                                                  Method<&QelFields::SetSeq>(u"SetSeq"),
                                                  Method<&QelFields::NewEnumMember>(u"NewEnum_fld"),
                                              });
    return info;
}

} // namespace qv
