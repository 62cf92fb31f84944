// The settings of the field, the table and the database as templates and the project file see
// them, and the members of the model's classes, against golden/settings.txt.

#include "ModelFixture.h"
#include "ModelGolden.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "core/QoProperties.h"

#include "platform/registry/HiveFile.h"

#include <fstream>
#include <string>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;

class SettingsGoldenTest : public test::ModelTest {
protected:
    /// One line per setting in bag order: its name, type and flags, what a new entity holds
    /// while the user's registry holds 7 under every setting's name (only the settings kept
    /// there take it), and what a late-bound read of the new entity gives.
    template <class Entity> void DescribeSettings(std::string_view title, std::u16string_view key) {
        const Ref<Entity> names = automation::MakeRef<Entity>();
        registry::Key& section = mHive.CreatePath(key);
        for (const QoProperty& setting : *names->Properties()) {
            section.SetValue(setting.Name(), registry::Value::Number(7));
        }
        // One write of the hive file instead of one per value.
        std::ofstream(mTemp / "user.reg", std::ios::binary) << registry::FormatHive(mHive);
        const Ref<Entity> entity = automation::MakeRef<Entity>();
        mText += "[" + std::string(title) + " settings]\n";
        for (const QoProperty& setting : *entity->Properties()) {
            const Variant read = entity->InvokeByName(setting.Name(), automation::InvokeRead, {});
            std::string line = automation::ToUtf8(setting.Name());
            line.resize(std::max<std::size_t>(line.size() + 1, 27), ' ');
            line += automation::ToUtf8(setting.DataType());
            line.resize(std::max<std::size_t>(line.size() + 1, 36), ' ');
            line += "RegSave=" + std::to_string(setting.RegSave()) +
                    " RegFormat=" + std::to_string(setting.RegFormat()) +
                    " FileSave=" + std::to_string(setting.FileSave()) +
                    " Sync=" + std::to_string(setting.Sync()) + " new=" + test::GoldenValue(setting.Value()) +
                    " read=" + test::GoldenValue(read);
            mText += line + "\n";
        }
    }

    /// The members in slot order with the accessors each has.
    void DescribeMembers(std::string_view title, const automation::Object& object) {
        mText += "[" + std::string(title) + " members]\n";
        for (const automation::MemberInfo& member : object.GetClassInfo().Members()) {
            mText += automation::ToUtf8(member.name) + (member.get ? " Get" : "") +
                     (member.let ? " Let" : "") + (member.set ? " Set" : "") +
                     (member.isDefault ? " default" : "") + "\n";
        }
    }

    registry::Key mHive{u""};
    std::string mText;
};

TEST_F(SettingsGoldenTest, SettingsAndMembersOfTheModel) {
    DescribeSettings<QelField>("Field", test::FieldKey);
    DescribeSettings<QelTable>("Table", test::TableKey);
    DescribeSettings<QelDatabase>("Database", test::DatabaseKey);
    DescribeMembers("Field", *automation::MakeRef<QelField>());
    DescribeMembers("Fields", *automation::MakeRef<QelFields>());
    DescribeMembers("Table", *automation::MakeRef<QelTable>());
    DescribeMembers("Tables", *automation::MakeRef<QelTables>());
    DescribeMembers("Database", *automation::MakeRef<QelDatabase>());
    DescribeMembers("Databases", *automation::MakeRef<QelDatabases>());
    test::ExpectGolden("settings.txt", mText);
}

} // namespace
} // namespace qv
