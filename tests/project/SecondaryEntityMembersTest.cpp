#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/internal/QelChart.h"
#include "project/internal/QelCharts.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"
#include "project/internal/QelFilter.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Text.h"

#include <set>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;

class SecondaryEntityMembersTest : public test::ApartmentTest {};

std::set<std::u16string> LowerMemberNames(const automation::ClassInfo& info) {
    std::set<std::u16string> names;
    for (const automation::MemberInfo& member : info.Members()) {
        EXPECT_TRUE(names.insert(automation::ToLower(member.name)).second)
            << automation::ToUtf8(info.Name()) << "." << automation::ToUtf8(member.name) << " appears twice";
    }
    return names;
}

TEST_F(SecondaryEntityMembersTest, EveryMemberAndSettingIsReachableByOneName) {
    struct Case {
        Ref<automation::Object> object;
        std::u16string_view defaultMember; ///< "" for none
        std::vector<std::u16string_view> members;
    };
    const Case cases[] = {
        {MakeRef<QelExtensions>(),
         u"Item",
         {u"curName", u"curSeq", u"Add", u"Count", u"Delete", u"ExtensionExist", u"Item", u"Seq",
          u"NewEnum_ext"}},
        {MakeRef<QelMasterDetails>(),
         u"Item",
         {u"curMasterTable", u"curDetailTable", u"curSeq", u"Add", u"Count", u"Delete", u"MasterDetailExist",
          u"Item", u"Seq", u"NewEnum_md"}},
        {MakeRef<QelMasterDetail>(),
         u"",
         {u"Seq", u"MasterTable", u"DetailTable", u"FieldCount", u"CurrentField", u"CurrentMasterField",
          u"CurrentDetailField", u"AddRelation", u"DeleteRelation", u"MasterField", u"DetailField"}},
        {MakeRef<QelCustomScripts>(),
         u"ScriptItem",
         {u"curName", u"curSeq", u"Add", u"Count", u"Delete", u"ScriptExist", u"ScriptItem", u"Seq",
          u"NewEnum_scrpt"}},
        {MakeRef<QelCharts>(),
         u"Item",
         {u"curName", u"curSeq", u"Add", u"Change", u"Count", u"Delete", u"ChartExist", u"Item", u"Seq",
          u"NewEnum_cht"}},
        {MakeRef<QelFilter>(),
         u"",
         {u"GroupCount", u"GroupName", u"OptionCount", u"OptionName", u"Expression", u"Load"}},
    };
    for (const Case& c : cases) {
        const automation::ClassInfo& info = c.object->GetClassInfo();
        SCOPED_TRACE(automation::ToUtf8(info.Name()));
        LowerMemberNames(info);
        ASSERT_EQ(info.Members().size(), c.members.size());
        for (std::size_t slot = 0; slot < c.members.size(); ++slot) {
            EXPECT_EQ(info.Members()[slot].name, c.members[slot]);
        }
        EXPECT_EQ(info.DefaultMember(), c.defaultMember.empty() ? std::nullopt : info.Find(c.defaultMember));
    }

    // The entities over a bag: their own members (Properties, Key) and their settings, each
    // name once, and every setting found by name.
    const Ref<SettingsEntity> entities[] = {MakeRef<QelExtension>(), MakeRef<QelCustomScript>(),
                                            MakeRef<QelChart>()};
    for (const Ref<SettingsEntity>& entity : entities) {
        SCOPED_TRACE(automation::ToUtf8(entity->TypeName()));
        std::set<std::u16string> names = LowerMemberNames(entity->GetClassInfo());
        for (const SettingInfo& setting : entity->SettingsOf().Settings()) {
            EXPECT_TRUE(names.insert(automation::ToLower(setting.name)).second)
                << automation::ToUtf8(setting.name);
            EXPECT_TRUE(entity->GetDispId(automation::ToUpper(setting.name)))
                << automation::ToUtf8(setting.name);
        }
        EXPECT_EQ(entity->Properties()->Count(), static_cast<std::int32_t>(entity->SettingsOf().Size()));
    }
}

} // namespace
} // namespace qv
