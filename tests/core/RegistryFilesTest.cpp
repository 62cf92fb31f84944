#include "core/RegistryFiles.h"

#include "support/ApartmentFixture.h"

#include "core/Apartment.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/registry/Registry.h"
#include "platform/system/Paths.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {
namespace {

class RegistryFiles : public ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        UseRegistry(
            std::make_unique<registry::Registry>("/home/u/user.reg", "/opt/qv/share/quorvane/machine.reg"));
    }
};

TEST_F(RegistryFiles, RelativeNamesAreTakenBesideTheMachineHive) {
    struct Case {
        std::u16string_view name;
        std::u16string_view expected;
    };
    const Case cases[] = {
        {u"keyword.xml", u"/opt/qv/share/quorvane/keyword.xml"},
        {u"lang\\english.xml", u"/opt/qv/share/quorvane/lang/english.xml"},
        {u"/etc/words.xml", u"/etc/words.xml"},
        // Empty means the built-in code to the script files' readers.
        {u"", u""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(automation::ToUtf8(row.name));
        // Separators are made native where the file system is reached.
        EXPECT_EQ(system::ToNativePath(ResolveRegistryFile(row.name)), system::ToNativePath(row.expected));
    }
    EXPECT_EQ(ShippedExtensionsFolder(), u"/opt/qv/share/quorvane/extensions");
    EXPECT_EQ(ResolveExtensionPackage(u"charts.zip"), u"/opt/qv/share/quorvane/extensions/charts.zip");
    EXPECT_EQ(ResolveExtensionPackage(u"/tmp/mine.zip"), u"/tmp/mine.zip");
    try {
        ResolveExtensionPackage(u"..\\machine.reg");
        ADD_FAILURE() << "a relative name left the extensions folder";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), 52);
    }
}

} // namespace
} // namespace qv::test
