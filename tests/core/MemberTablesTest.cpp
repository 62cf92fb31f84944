#include "core/CSuperCollection.h"
#include "core/QelKeyword.h"
#include "core/QelStatus.h"
#include "core/QoProperties.h"
#include "core/SampleEntity.h"
#include "core/cRegistry.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;

class MemberTablesTest : public test::ApartmentTest {};

std::set<std::u16string> LowerNames(const automation::ClassInfo& info) {
    std::set<std::u16string> names;
    for (const automation::MemberInfo& member : info.Members()) {
        EXPECT_TRUE(names.insert(automation::ToLower(member.name)).second)
            << automation::ToUtf8(info.Name()) << "." << automation::ToUtf8(member.name) << " appears twice";
        EXPECT_TRUE(member.get || member.let || member.set)
            << automation::ToUtf8(member.name) << " has no accessor";
    }
    return names;
}

TEST_F(MemberTablesTest, MemberAndSettingNamesAreUniqueIgnoringCase) {
    Ref<CSuperCollection> collection = MakeRef<CSuperCollection>();
    const Ref<automation::Object> objects[] = {
        collection,
        collection->Keys(),
        MakeRef<cKey>(u"k", 1),
        MakeRef<QoProperty>(),
        MakeRef<QoProperties>(),
        MakeRef<QelKeyword>(),
        MakeRef<QelStatus>(),
        MakeRef<cRegistry>(),
    };
    for (const Ref<automation::Object>& object : objects) {
        SCOPED_TRACE(automation::ToUtf8(object->TypeName()));
        LowerNames(object->GetClassInfo());
    }
    EXPECT_EQ(MakeRef<QoProperty>()->GetClassInfo().DefaultMember(),
              MakeRef<QoProperty>()->GetClassInfo().Find(u"Value"));
    EXPECT_EQ(MakeRef<QoProperties>()->GetClassInfo().DefaultMember(),
              MakeRef<QoProperties>()->GetClassInfo().Find(u"Item"));

    // An entity's settings: unique among themselves, and none hidden by a member of the entity
    // except the settings whose setters do more than store.
    test::SampleEntity entity;
    const std::set<std::u16string> members = LowerNames(entity.GetClassInfo());
    std::set<std::u16string> settings;
    for (const SettingInfo& setting : test::SampleEntity::Settings().Settings()) {
        const std::u16string lower = automation::ToLower(setting.name);
        EXPECT_TRUE(settings.insert(lower).second) << automation::ToUtf8(setting.name) << " appears twice";
        EXPECT_EQ(members.contains(lower), setting.name == u"SmpName") << automation::ToUtf8(setting.name);
    }
}

TEST_F(MemberTablesTest, ClassesHaveTheirMembersInSlotOrder) {
    // Regression: the enumerator members were missing, so NewEnum by name raised 438.
    Ref<CSuperCollection> collection = MakeRef<CSuperCollection>();
    struct Case {
        Ref<automation::Object> object;
        std::vector<std::u16string_view> names;
    };
    const Case cases[] = {
        {collection,
         {u"CompareMode", u"AllowItemAsignments", u"BaseIndex", u"Keys", u"Key", u"KeyExists", u"ChangeKey",
          u"ChangeKeyForIndex", u"Add", u"Count", u"Remove", u"Item", u"NewEnum", u"Clear", u"MoveItem"}},
        {collection->Keys(), {u"NewEnum", u"Count"}},
        {MakeRef<cKey>(u"k", 1), {u"Name", u"AssociatedIndex"}},
        {MakeRef<QoProperty>(),
         {u"Key", u"Name", u"DataType", u"Value", u"RegSave", u"RegFormat", u"FileSave", u"Sync"}},
        {MakeRef<QoProperties>(), {u"Add", u"Count", u"Delete", u"PropertyExist", u"Item", u"NewEnum_prp"}},
        {MakeRef<QelKeyword>(), {u"curIndex", u"Count", u"IsKeyword", u"Load"}},
        {MakeRef<QelStatus>(),
         {u"mj1", u"mj2", u"mn1", u"mn2", u"DispStatus", u"ShowStatus", u"ShowStatus2", u"ShowStatus3",
          u"StatusIsCancelled", u"CloseStatus", u"SetStatus", u"GetVer", u"GetSysCode"}},
        {MakeRef<cRegistry>(),
         {u"KeyExists", u"CreateKey", u"DeleteKey", u"DeleteValue", u"Value", u"EnumerateValues",
          u"EnumerateSections", u"CreateEXEAssociation", u"CreateAdditionalEXEAssociations", u"ValueType",
          u"ClassKey", u"SectionKey", u"ValueKey", u"Default"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(automation::ToUtf8(test.object->TypeName()));
        std::vector<std::u16string_view> names;
        for (const automation::MemberInfo& member : test.object->GetClassInfo().Members()) {
            names.push_back(member.name);
        }
        EXPECT_EQ(names, test.names);
    }

    // For Each over what NewEnum gives by name walks the items.
    collection->Add(automation::Variant(u"a"), u"a");
    const automation::Variant enumerable =
        automation::CallByName(*collection, u"NewEnum", automation::InvokeRead);
    automation::Variant item;
    ASSERT_TRUE(enumerable.ObjectValue()->NewEnum()->Next(item));
    EXPECT_EQ(automation::ToString(item), u"a");
}

} // namespace
} // namespace qv
