// The published settings and members of the table and the database: every setting row in
// definition order (the order of the bag, the registry defaults and the project file's
// attributes), and the members in their slot order. Templates, the host and the project file
// reach all of them by name.

#include "ModelFixture.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/QoProperties.h"

#include "platform/automation/Text.h"

#include <span>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::Ref;
using T = SettingType;

struct Row {
    std::u16string_view name;
    SettingType type;
    bool regSave;
    int regFormat;
    bool fileSave;
    bool sync;
};

const Row TableRows[] = {
    {u"TblSync", T::Boolean, false, 0, false, false},
    {u"TblSeq", T::Integer, false, 0, false, false},
    {u"TblName", T::String, false, 0, true, false},
    {u"TblType", T::String, false, 0, true, false},
    {u"TblKey", T::String, false, 0, false, false},
    {u"TblGen", T::Boolean, false, 0, true, true},
    {u"TblList", T::Boolean, false, 0, true, true},
    {u"TblView", T::Boolean, false, 0, true, true},
    {u"TblInlineEdit", T::Boolean, true, 1, true, true},
    {u"TblGridEdit", T::Boolean, true, 1, true, true},
    {u"TblEdit", T::Boolean, false, 0, true, true},
    {u"TblEditConfirm", T::Boolean, true, 1, true, true},
    {u"TblAdd", T::Boolean, false, 0, true, true},
    {u"TblAddConfirm", T::Boolean, true, 1, true, true},
    {u"TblAddCaptcha", T::Boolean, true, 1, true, true},
    {u"TblInlineAdd", T::Boolean, true, 1, true, true},
    {u"TblInlineCopy", T::Boolean, true, 1, true, true},
    {u"TblMultiUpdate", T::Boolean, true, 1, true, true},
    {u"TblMultiUpdateConfirm", T::Boolean, true, 1, true, true},
    {u"TblAnonymous", T::Integer, true, 4, true, true},
    {u"TblIsMaster", T::Boolean, false, 0, false, false},
    {u"TblIsDetail", T::Boolean, false, 0, false, false},
    {u"TblDelete", T::Boolean, false, 0, true, true},
    {u"TblCaption", T::String, false, 0, true, true},
    {u"TblVar", T::String, false, 0, false, false},
    {u"TblUpdatable", T::Boolean, false, 0, true, false},
    {u"TblSQL", T::String, false, 0, true, false},
    {u"TblError", T::String, false, 0, false, false},
    {u"TblSrchType", T::String, false, 0, true, true},
    {u"TblSearchHighlight", T::Boolean, true, 1, true, true},
    {u"TblSearchColor", T::String, true, 1, true, true},
    {u"TblDefault", T::Boolean, false, 0, true, true},
    {u"TblCopy", T::Boolean, false, 0, true, true},
    {u"TblFilter", T::String, false, 0, true, false},
    {u"TblUserIDFld", T::String, false, 0, true, true},
    {u"TblSecurity", T::String, false, 0, true, true},
    {u"TblSysGenUnits", T::String, false, 0, false, false},
    {u"TblSysGenOption", T::String, false, 0, false, false},
    {u"TblUserGenOption", T::String, false, 0, false, false},
    {u"TblOverwrite", T::Boolean, true, 1, true, true},
    {u"TblLoaded", T::Boolean, false, 0, true, true},
    {u"TblRptShowDetails", T::Boolean, true, 1, true, true},
    {u"TblRptShowGrandTotal", T::Boolean, true, 1, true, true},
    {u"TblCustomSQL", T::String, false, 0, true, false},
    {u"TblCustomError", T::String, false, 0, true, false},
    {u"TblRptSrc", T::String, false, 0, true, true},
    {u"TblRptIndent", T::Integer, false, 0, true, true},
    {u"TblUseGlobal", T::Boolean, true, 1, true, true},
    {u"TblRecPerPage", T::Integer, true, 4, true, true},
    {u"TblRecPerPageList", T::String, true, 1, true, true},
    {u"TblExportHtml", T::Boolean, true, 1, true, true},
    {u"TblExportWord", T::Boolean, true, 1, true, true},
    {u"TblExportExcel", T::Boolean, true, 1, true, true},
    {u"TblExportXml", T::Boolean, true, 1, true, true},
    {u"TblExportCsv", T::Boolean, true, 1, true, true},
    {u"TblRecPerRow", T::Integer, true, 4, true, true},
    {u"TblMultiDelete", T::Boolean, true, 1, true, true},
    {u"TblSortType", T::Integer, true, 4, true, true},
    {u"TblPagerStyle", T::Integer, true, 4, true, true},
    {u"TblTopPageLink", T::Boolean, true, 1, true, true},
    {u"TblBottomPageLink", T::Boolean, true, 1, true, true},
    {u"TblViewExport", T::Boolean, true, 1, true, true},
    {u"TblLinkOnLeft", T::Boolean, true, 1, true, true},
    {u"TblInlineDelete", T::Boolean, false, 0, true, true},
    {u"TblDetailViewPaging", T::Boolean, false, 0, true, true},
    {u"TblAuditTrail", T::Boolean, false, 0, true, true},
    {u"TblSendMailOnAdd", T::Boolean, false, 0, true, true},
    {u"TblSendMailOnEdit", T::Boolean, false, 0, true, true},
    {u"TblSendMailOnDelete", T::Boolean, false, 0, true, true},
    {u"TblShowBlankListPage", T::Boolean, false, 0, true, true},
};

const Row DatabaseRows[] = {
    {u"DBName", T::String, false, 0, true, false},
    {u"DBType", T::String, false, 0, true, false},
    {u"DBPath", T::String, false, 0, true, false},
    {u"DBUseServerMapPath", T::Boolean, false, 0, true, false},
    {u"DBPhyPath", T::String, false, 0, true, false},
    {u"DBUID", T::String, false, 0, true, false},
    {u"DBPwd", T::String, false, 0, true, false},
    {u"DBQuoteS", T::String, false, 0, true, false},
    {u"DBQuoteE", T::String, false, 0, true, false},
    {u"DBConnstr", T::String, false, 0, true, false},
    {u"DBConnstrOra", T::String, false, 0, true, false},
    {u"DBADOVer", T::String, false, 0, true, false},
    {u"DBDBMSName", T::String, false, 0, true, false},
    {u"DBDBMSVer", T::String, false, 0, true, false},
    {u"DBOLEDBVer", T::String, false, 0, true, false},
    {u"DBProviderName", T::String, false, 0, true, false},
    {u"DBProviderVer", T::String, false, 0, true, false},
    {u"DBSchema", T::String, false, 0, true, false},
    {u"MaxUploadSize", T::Long, true, 4, true, true},
    {u"SecUserLevelFld", T::String, false, 0, true, true},
    {u"SecDefault", T::String, false, 0, true, true},
    {u"SecuUserIDFld", T::String, false, 0, true, true},
    {u"UseDynamicUserLevel", T::Boolean, false, 0, true, true},
    {u"UserLevelTbl", T::String, false, 0, true, true},
    {u"UserLevelIdFld", T::String, false, 0, true, true},
    {u"UserLevelNameFld", T::String, false, 0, true, true},
    {u"UserLevelPrivTbl", T::String, false, 0, true, true},
    {u"UserLevelPrivTblNameFld", T::String, false, 0, true, true},
    {u"UserLevelPrivUserLevelFld", T::String, false, 0, true, true},
    {u"UserLevelPrivPrivFld", T::String, false, 0, true, true},
    {u"SecuParentUserIDFld", T::String, false, 0, true, true},
};

void ExpectRows(const SettingsEntity& entity, std::span<const Row> rows) {
    const SettingsTable& table = entity.SettingsOf();
    ASSERT_EQ(table.Size(), rows.size());
    std::size_t ordinal = 0;
    for (const QoProperty& property : *entity.Properties()) {
        ASSERT_LT(ordinal, rows.size());
        const Row& row = rows[ordinal];
        SCOPED_TRACE(std::to_string(ordinal + 1) + " " + automation::ToUtf8(row.name));
        const SettingInfo& info = table[ordinal];
        EXPECT_EQ(info.name, row.name);
        EXPECT_EQ(property.Name(), row.name);
        EXPECT_EQ(property.DataType(), SettingTypeName(row.type));
        EXPECT_EQ(property.RegSave(), row.regSave);
        EXPECT_EQ(property.RegFormat(), row.regFormat);
        EXPECT_EQ(property.FileSave(), row.fileSave);
        EXPECT_EQ(property.Sync(), row.sync);
        ++ordinal;
    }
    EXPECT_EQ(ordinal, rows.size());
}

std::vector<std::u16string> MemberNames(const automation::Object& object) {
    std::vector<std::u16string> names;
    for (const automation::MemberInfo& member : object.GetClassInfo().Members()) {
        names.emplace_back(member.name);
    }
    return names;
}

class TableSettingsTest : public test::ModelTest {};

TEST_F(TableSettingsTest, EverySettingRowInDefinitionOrder) {
    {
        SCOPED_TRACE("table");
        ExpectRows(*automation::MakeRef<QelTable>(), TableRows);
    }
    {
        SCOPED_TRACE("database");
        ExpectRows(*automation::MakeRef<QelDatabase>(), DatabaseRows);
    }
}

TEST_F(TableSettingsTest, MembersInSlotOrder) {
    using Names = std::vector<std::u16string>;
    // The table's and the database's settings are reached through their settings tables; the
    // members listed are the others, and the settings whose accessors do more than a plain
    // Get and Let.
    EXPECT_EQ(MemberNames(*automation::MakeRef<QelTable>()),
              (Names{u"Properties", u"Fields", u"Key", u"LoadTbl_DAO", u"LoadView_DAO", u"Load_ADO",
                     u"Load_ADOCustomView", u"ParseCustomSql", u"LoadTableDefault"}));
    EXPECT_EQ(MemberNames(*automation::MakeRef<QelTables>()),
              (Names{u"curName", u"curSeq", u"Add", u"Change", u"Count", u"Delete", u"TableExist", u"Item",
                     u"Seq", u"SetItem", u"SetSeq", u"NewEnum_tbl"}));
    EXPECT_EQ(MemberNames(*automation::MakeRef<QelDatabase>()),
              (Names{u"Properties", u"tables", u"Key", u"DBADOVer", u"DBDBMSName", u"DBDBMSVer",
                     u"DBOLEDBVer", u"DBProviderName", u"DBProviderVer", u"SecDefault", u"LoadADODB",
                     u"LoadADOCustomView", u"LoadDAODB"}));
    EXPECT_EQ(MemberNames(*automation::MakeRef<QelDatabases>()),
              (Names{u"curName", u"curSeq", u"Add", u"Count", u"Delete", u"Item", u"NewEnum_db"}));
}

} // namespace
} // namespace qv
