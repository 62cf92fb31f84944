#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The live schema of a database as plain records, which the check and the synchronisation
// compare the project with. The arrays keep their element 0 unused, so that table i and column
// j are element i and j; a fresh record holds "", 0, False and Empty.

/// One column of a table, view or custom view, as the schema reader found it.
struct QoSchemaField {
    bool FldSync = false; ///< never set by the reader; free for the comparing code
    std::int16_t FldSeq = 0;
    std::u16string FldName;
    std::int16_t FldType = 0; ///< an ADO type code; -1 for an Access type without one
    bool FldSupport = false;
    std::int32_t FldSize = 0;
    bool FldUniqueIdx = false;
    bool FldZeroLen = false;
    bool FldReq = false;
    bool FldIsPrimaryKey = false;
    bool FldAutoIncrement = false;
    std::int32_t FldAttribute = 0;
    automation::Variant FldDefault; ///< an Access column's default; Empty otherwise
    std::u16string FldQuoteS;
    std::u16string FldQuoteE;
    std::u16string FldCaption; ///< Access columns only
};

/// The columns of one table: elements 1 to TblFldCnt of `fld`.
struct QoSchemaFields {
    std::vector<QoSchemaField> fld;
};

/// One table, view or custom view.
struct QoSchemaTable {
    bool TblSync = false; ///< never set by the reader
    std::int16_t TblSeq = 0;
    std::u16string TblName;
    std::u16string TblType; ///< "TABLE", "VIEW" or "CUSTOMVIEW"
    std::u16string TblKey;  ///< key column names, sorted and CRLF-joined
    bool TblUpdatable = false;
    std::u16string TblSQL; ///< an Access view's SQL
    bool TblGen = false;   ///< the columns were read completely
    /// The object could not be read, and the reading did not need it: the record holds its name
    /// and type alone. Nothing is to be taken from it but that the object is there.
    bool TblUnread = false;
    std::int16_t TblFldCnt = 0;
    QoSchemaFields TblFields;
    /// Columns left out because an earlier one bears the name in another letter case: the
    /// project cannot hold them, and the check counts them.
    std::vector<std::u16string> TblDuplicates;

    /// The first column named exactly `name`, or null.
    QoSchemaField* FindField(std::u16string_view name) {
        for (std::int32_t j = 1; j <= TblFldCnt && j < static_cast<std::int32_t>(TblFields.fld.size()); ++j) {
            if (TblFields.fld[static_cast<std::size_t>(j)].FldName == name) {
                return &TblFields.fld[static_cast<std::size_t>(j)];
            }
        }
        return nullptr;
    }

    /// Column j (1 to TblFldCnt), or null.
    const QoSchemaField* Field(std::int32_t j) const {
        return j >= 1 && j <= TblFldCnt && j < static_cast<std::int32_t>(TblFields.fld.size())
                   ? &TblFields.fld[j]
                   : nullptr;
    }
    /// Column j of a record whose columns were read: every one from 1 to TblFldCnt is there.
    const QoSchemaField& Column(std::int32_t j) const {
        const QoSchemaField* column = Field(j);
        assert(column != nullptr && "a record holds each of its TblFldCnt columns");
        return *column;
    }
};

/// The tables read: elements 1 to DBTblCnt of `Tbl`; empty until the first table is read.
struct QoSchemaTables {
    std::vector<QoSchemaTable> Tbl;
};

/// The schema reader's own state: how the database was reached, what it said of itself, and its
/// tables.
struct QoSchemaDB {
    std::u16string DBName;
    std::u16string DBType;
    std::u16string DBPath;
    bool DBUseServerMapPath = false;
    std::u16string DBPhyPath;
    std::u16string DBUID;
    std::u16string DBPwd;
    std::u16string DBConnstr;
    std::u16string DBADOVer;
    std::u16string DBDBMSName;
    std::u16string DBDBMSVer;
    std::u16string DBOLEDBVer;
    std::u16string DBProviderName;
    std::u16string DBProviderVer;
    std::u16string DBSchema;
    std::int16_t DBTblCnt = 0;
    QoSchemaTables tables;
};

/// A copy of a column record for late-bound callers: each field a read-only property.
class QoSchemaFieldRecord final : public automation::Object {
public:
    explicit QoSchemaFieldRecord(QoSchemaField record) : mRecord(std::move(record)) {}
    const automation::ClassInfo& GetClassInfo() const override;
    const QoSchemaField& Record() const noexcept { return mRecord; }

private:
    QoSchemaField mRecord;
};

/// A copy of a table's columns for late-bound callers: `fld(j)` is a copy of column j (0 to the
/// array's upper bound; another index raises 9), `Count` the array's upper bound.
class QoSchemaFieldsRecord final : public automation::Object {
public:
    explicit QoSchemaFieldsRecord(QoSchemaFields record) : mRecord(std::move(record)) {}
    const automation::ClassInfo& GetClassInfo() const override;
    automation::Ref<QoSchemaFieldRecord> fld(std::int32_t j) const;
    std::int32_t UBound() const noexcept { return static_cast<std::int32_t>(mRecord.fld.size()) - 1; }

private:
    QoSchemaFields mRecord;
};

/// A copy of a table record for late-bound callers: each field a read-only property, the
/// columns as a QoSchemaFieldsRecord.
class QoSchemaTableRecord final : public automation::Object {
public:
    explicit QoSchemaTableRecord(QoSchemaTable record) : mRecord(std::move(record)) {}
    const automation::ClassInfo& GetClassInfo() const override;
    const QoSchemaTable& Record() const noexcept { return mRecord; }
    automation::Ref<QoSchemaFieldsRecord> TblFields() const;

private:
    QoSchemaTable mRecord;
};

} // namespace qv
