#include "schema/internal/SchemaRecords.h"

#include "platform/automation/Error.h"

#include <span>

namespace qv {

using automation::MemberInfo;
using automation::Object;
using automation::Variant;

namespace {

/// Reads one field of the record a wrapper holds; records take no arguments.
template <class Wrapper, auto Member> Variant RecordFieldThunk(Object& self, std::span<Variant> args) {
    if (!args.empty()) {
        automation::Raise(automation::ErrorNumber::WrongArgumentCount);
    }
    return Variant(static_cast<Wrapper&>(self).Record().*Member);
}

template <class Wrapper, auto Member> MemberInfo RecordField(std::u16string_view name) {
    return MemberInfo{name, &RecordFieldThunk<Wrapper, Member>, nullptr, nullptr, 0, 0, false};
}

} // namespace

const automation::ClassInfo& QoSchemaFieldRecord::GetClassInfo() const {
    using R = QoSchemaFieldRecord;
    using F = QoSchemaField;
    static const automation::ClassInfo info(u"QoSchemaField",
                                            {
                                                RecordField<R, &F::FldSync>(u"FldSync"),
                                                RecordField<R, &F::FldSeq>(u"FldSeq"),
                                                RecordField<R, &F::FldName>(u"FldName"),
                                                RecordField<R, &F::FldType>(u"FldType"),
                                                RecordField<R, &F::FldSupport>(u"FldSupport"),
                                                RecordField<R, &F::FldSize>(u"FldSize"),
                                                RecordField<R, &F::FldUniqueIdx>(u"FldUniqueIdx"),
                                                RecordField<R, &F::FldZeroLen>(u"FldZeroLen"),
                                                RecordField<R, &F::FldReq>(u"FldReq"),
                                                RecordField<R, &F::FldIsPrimaryKey>(u"FldIsPrimaryKey"),
                                                RecordField<R, &F::FldAutoIncrement>(u"FldAutoIncrement"),
                                                RecordField<R, &F::FldAttribute>(u"FldAttribute"),
                                                RecordField<R, &F::FldDefault>(u"FldDefault"),
                                                RecordField<R, &F::FldQuoteS>(u"FldQuoteS"),
                                                RecordField<R, &F::FldQuoteE>(u"FldQuoteE"),
                                                RecordField<R, &F::FldCaption>(u"FldCaption"),
                                            });
    return info;
}

const automation::ClassInfo& QoSchemaFieldsRecord::GetClassInfo() const {
    static const automation::ClassInfo info(
        u"QoSchemaFields", {
                               automation::Default(automation::Method<&QoSchemaFieldsRecord::fld>(u"fld")),
                               automation::Method<&QoSchemaFieldsRecord::UBound>(u"UBound"),
                           });
    return info;
}

automation::Ref<QoSchemaFieldRecord> QoSchemaFieldsRecord::fld(std::int32_t j) const {
    if (j < 0 || j > UBound()) {
        automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
    }
    return automation::MakeRef<QoSchemaFieldRecord>(mRecord.fld[static_cast<std::size_t>(j)]);
}

const automation::ClassInfo& QoSchemaTableRecord::GetClassInfo() const {
    using R = QoSchemaTableRecord;
    using T = QoSchemaTable;
    static const automation::ClassInfo info(
        u"QoSchemaTable", {
                              RecordField<R, &T::TblSync>(u"TblSync"),
                              RecordField<R, &T::TblSeq>(u"TblSeq"),
                              RecordField<R, &T::TblName>(u"TblName"),
                              RecordField<R, &T::TblType>(u"TblType"),
                              RecordField<R, &T::TblKey>(u"TblKey"),
                              RecordField<R, &T::TblUpdatable>(u"TblUpdatable"),
                              RecordField<R, &T::TblSQL>(u"TblSQL"),
                              RecordField<R, &T::TblGen>(u"TblGen"),
                              RecordField<R, &T::TblFldCnt>(u"TblFldCnt"),
                              automation::Method<&QoSchemaTableRecord::TblFields>(u"TblFields"),
                          });
    return info;
}

automation::Ref<QoSchemaFieldsRecord> QoSchemaTableRecord::TblFields() const {
    return automation::MakeRef<QoSchemaFieldsRecord>(mRecord.TblFields);
}

} // namespace qv
