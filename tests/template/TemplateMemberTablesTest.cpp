#include "template/QelCache.h"
#include "template/QelCodeBase.h"
#include "template/QelControls.h"
#include "template/QelLanguage.h"
#include "template/QoParser.h"
#include "template/QoScript.h"
#include "template/internal/QoUserScript.h"

#include "template/TemplateFixture.h"
#include "template/TemplateState.h"

#include "platform/automation/Text.h"

#include <set>
#include <string>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;

class TemplateMemberTablesTest : public test::TemplateTest {};

TEST_F(TemplateMemberTablesTest, NamesAreUniqueAndDefaultsPresent) {
    CurrentTemplateState().templateFileName = u"t.zip";
    const Ref<automation::Object> objects[] = {
        MakeRef<QoParser>(),    MakeRef<QelSession>(),   MakeRef<QelSessions>(), MakeRef<QelControl>(),
        MakeRef<QelControls>(), MakeRef<QelCache>(),     MakeRef<QelCodeBase>(), MakeRef<QelLanguage>(),
        MakeRef<QoScript>(),    MakeRef<QoUserScript>(),
    };
    for (const Ref<automation::Object>& object : objects) {
        const automation::ClassInfo& info = object->GetClassInfo();
        SCOPED_TRACE(automation::ToUtf8(info.Name()));
        std::set<std::u16string> names;
        for (const automation::MemberInfo& member : info.Members()) {
            EXPECT_TRUE(names.insert(automation::ToLower(member.name)).second)
                << automation::ToUtf8(member.name);
            EXPECT_TRUE(member.get || member.let || member.set) << automation::ToUtf8(member.name);
        }
    }
    EXPECT_EQ(MakeRef<QelControls>()->GetClassInfo().DefaultMember(),
              MakeRef<QelControls>()->GetClassInfo().Find(u"Item"));
    EXPECT_EQ(MakeRef<QelSessions>()->GetClassInfo().DefaultMember(),
              MakeRef<QelSessions>()->GetClassInfo().Find(u"Item"));
}

} // namespace
} // namespace qv
