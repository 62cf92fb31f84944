// The defaults a table derives from its name and type.

#include "ModelFixture.h"

#include "model/LoadSettings.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "core/QoProperties.h"

#include <string>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;

class TableDefaultsTest : public test::ModelTest {};

TEST_F(TableDefaultsTest, ByTableType) {
    struct TypeCase {
        std::u16string_view type;
        bool pages; // TblAdd, TblView, TblEdit, TblDelete, TblCopy
        bool sqlEmptied;
        bool updatable;
        std::u16string_view searchType;
    };
    const TypeCase cases[] = {
        {u"TABLE", true, true, true, u"BASIC"},        {u"VIEW", false, false, true, u"BASIC"},
        {u"CUSTOMVIEW", false, false, true, u"BASIC"}, {u"REPORT", false, false, false, u"NONE"},
        {u"table", false, false, true, u"BASIC"},      {u"", false, false, true, u"BASIC"},
    };
    const Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    database->SetSecDefault(u"Default");
    for (const TypeCase& entry : cases) {
        SCOPED_TRACE(std::string(entry.type.begin(), entry.type.end()));
        const Ref<QelTable> table = automation::MakeRef<QelTable>();
        table->SetTblName(u"order_details");
        table->SetTblType(entry.type);
        table->SetTblSQL(u"SELECT 1");
        table->SetTblCaption(u"Edited caption");
        table->SetTblDefault(true);
        table->LoadTableDefault();

        EXPECT_EQ(table->TblAdd(), entry.pages);
        EXPECT_EQ(table->TblView(), entry.pages);
        EXPECT_EQ(table->TblEdit(), entry.pages);
        EXPECT_EQ(table->TblDelete(), entry.pages);
        EXPECT_EQ(table->TblCopy(), entry.pages);
        EXPECT_EQ(table->TblSQL(), entry.sqlEmptied ? u"" : u"SELECT 1");
        EXPECT_EQ(table->TblUpdatable(), entry.updatable);
        EXPECT_EQ(table->TblSrchType(), entry.searchType);
        EXPECT_TRUE(table->TblList());
        EXPECT_FALSE(table->TblDefault());
        EXPECT_EQ(table->TblCaption(), u"order details");
        EXPECT_EQ(table->TblVar(), u"order_details");
        EXPECT_EQ(table->TblSecurity(), u"Default");
        // Settings outside the defaults keep what they hold.
        EXPECT_TRUE(table->Properties()->Find(u"TblGen")->Value().IsEmpty());
    }
}

TEST_F(TableDefaultsTest, SecurityFollowsTheDatabaseAndIsClearedWithIt) {
    Ref<QelDatabase> database = automation::MakeRef<QelDatabase>();
    database->SetSecDefault(u"Admin");
    const Ref<QelTable> table = automation::MakeRef<QelTable>();
    table->SetTblName(u"Order-Items");
    table->LoadTableDefault();
    EXPECT_EQ(table->TblSecurity(), u"Admin");
    EXPECT_EQ(table->TblVar(), u"Order2DItems");

    database = nullptr;
    EXPECT_EQ(CurrentLoadSettings().secDefault, u"");
    table->LoadTableDefault();
    EXPECT_EQ(table->TblSecurity(), u"");
}

} // namespace
} // namespace qv
