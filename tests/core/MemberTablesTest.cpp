#include "core/CSuperCollection.h"
#include "core/QelKeyword.h"
#include "core/QelStatus.h"
#include "core/QoProperties.h"
#include "core/SampleEntity.h"
#include "core/cRegistry.h"

#include "support/ApartmentFixture.h"

#include "platform/automation/Text.h"

#include <set>
#include <string>

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

} // namespace
} // namespace qv
