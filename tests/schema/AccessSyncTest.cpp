// Checking and synchronising projects of the sample Access files whose definitions differ from
// the file.

#include "schema/SchemaProjectFixture.h"

#include "project/Qel.h"

#include "model/field/QelField.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"
#include "platform/dao/AccessFixture.h"
#include "platform/host/ScriptedHost.h"

namespace qv {
namespace {

using automation::Variant;

class AccessSyncTest : public test::SchemaProjectTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AccessSyncTest, ASyncBringsADifferingProjectBackInStep) {
    const std::u16string file = dao::test::PathText(dao::test::CopyFixture(mTemp, GetParam()));
    Call(*mProject, u"LoadDB",
         {Variant(u""), Variant(u"ACCESS"), Variant(u""), Variant(file), Variant(false), Variant(u""),
          Variant(u""), Variant(u""), Variant(u"")});
    ASSERT_EQ(mProject->ProjErr(), u"");
    ASSERT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());

    // The project drifts: a table removed, another not in the file, a field renamed in the
    // project and one resized.
    QelTables& tables = *mProject->db()->tables();
    QelTable* kept = nullptr;
    for (QelTable& table : tables) {
        if (table.TblType() == u"TABLE" && table.Fields()->Count() > 1) {
            kept = &table;
            break;
        }
    }
    ASSERT_NE(kept, nullptr);
    QelTable* removed = nullptr;
    for (QelTable& table : tables) {
        if (table.TblType() == u"TABLE" && &table != kept) {
            removed = &table;
            break;
        }
    }
    const std::u16string removedName = removed != nullptr ? removed->TblName() : std::u16string();
    const std::u16string keptName = kept->TblName();
    if (removed != nullptr) {
        ASSERT_TRUE(tables.Remove(*removed));
    }
    ASSERT_TRUE(tables.Add(u"ghost"));
    tables.Find(u"ghost")->SetTblType(u"TABLE");
    ASSERT_TRUE(tables.Find(u"ghost")->Fields()->Add(u"g"));
    QelField& first = *kept->Fields()->At(1);
    const std::u16string firstName = first.FldName();
    ASSERT_TRUE(kept->Fields()->Change(firstName, u"renamed_in_project"));
    first.SetFldCaption(u"user caption");
    QelField& second = *kept->Fields()->At(2);
    second.SetFldSize(second.FldSize() + 7);
    second.SetFldCaption(u"second caption");
    EXPECT_GT(CheckDB(), 0);

    auto& host = mHost;
    if (removed != nullptr) {
        host.Answer(host::NameMapAnswer{true, {u""}});
    }
    host.Answer(host::NameMapAnswer{true, {u"renamed_in_project"}});
    Call(*mProject, u"SynchronizeDB");
    EXPECT_EQ(mProject->ProjErr(), u"");
    EXPECT_EQ(host.PendingAnswers(), 0u);
    const std::vector<host::HostCall> maps = host.Calls(host::HostCallKind::MapNames);
    ASSERT_EQ(maps.size(), removed != nullptr ? 2u : 1u);
    if (removed != nullptr) {
        EXPECT_EQ(maps[0].names, std::vector<std::u16string>{removedName});
        EXPECT_EQ(maps[0].oldNames, std::vector<std::u16string>{u"ghost"});
        ASSERT_NE(tables.Find(removedName), nullptr);
    }
    EXPECT_EQ(maps.back().names, std::vector<std::u16string>{firstName});
    EXPECT_EQ(tables.Find(u"ghost"), nullptr);
    QelTable& synced = *tables.Find(keptName);
    EXPECT_EQ(synced.Fields()->At(1)->FldName(), firstName);
    EXPECT_EQ(synced.Fields()->At(1)->FldCaption(), u"user caption");
    EXPECT_EQ(synced.Fields()->At(2)->FldCaption(), u"second caption");
    EXPECT_EQ(CheckDB(), 0) << automation::ToUtf8(mProject->ProjErr());
}

INSTANTIATE_TEST_SUITE_P(Samples, AccessSyncTest,
                         ::testing::Values("nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
} // namespace qv
