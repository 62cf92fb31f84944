#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include "support/ProcessesTogether.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace qv::registry {
namespace {

constexpr std::u16string_view General = u"Software\\Quorvane\\6.0\\Settings\\General";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path UserHive() const { return mDir / "config" / "quorvane" / "user.reg"; }
    std::filesystem::path MachineHive() const { return mDir / "machine.reg"; }
    Registry Open() const { return Registry(UserHive(), MachineHive()); }

    // Runs `operation`, which must raise `number` with `text` in its description.
    template <typename Operation>
    static void ExpectError(std::int32_t number, std::u16string_view text, Operation&& operation) {
        try {
            operation();
            ADD_FAILURE() << "no error raised";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), number) << error.what();
            EXPECT_NE(error.Description().find(text), std::u16string::npos) << error.what();
        }
    }

    test::TempDir mDir;
};

TEST_F(RegistryTest, ValuesOfEveryTypeSurviveASaveAndAFreshRead) {
    const std::pair<std::u16string_view, Value> values[] = {
        {u"Text", Value::Text(u"lang/english.xml")},
        {u"Expand", Value::Text(u"%HOME%\\x", ValueType::ExpandText)},
        {u"Binary", Value::Bytes({0, 1, 254, 255})},
        {u"Dword", Value::Number(0xFFFFFFFFu)},
        {u"BigEndian", Value::Number(0x01020304u, ValueType::DwordBigEndian)},
        {u"Multi", Value::MultiText({u"a", u"b"})},
        {u"Qword", Value::Bytes({1, 0, 0, 0, 0, 0, 0, 0}, ValueType::Qword)},
        {u"", Value::Text(u"default")},
    };
    {
        Registry registry = Open();
        for (const auto& [name, value] : values) {
            registry.WriteValue(HiveKind::User, General, name, value);
        }
    }
    // The user hive's folder did not exist: the first write made it.
    ASSERT_TRUE(std::filesystem::exists(UserHive()));
    Registry registry = Open();
    for (const auto& [name, value] : values) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_EQ(registry.ReadValue(HiveKind::User, General, name), value);
    }
    EXPECT_EQ(registry.ValueNames(HiveKind::User, General).size(), std::size(values));
    EXPECT_EQ(registry.ReadValue(HiveKind::Machine, General, u"Text"), std::nullopt);
}

TEST_F(RegistryTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    Registry registry = Open();
    registry.WriteValue(HiveKind::User, u"Software\\Quorvane", u"XMLEncodeCharSet", Value::Text(u"utf-8"));
    registry.WriteValue(HiveKind::User, u"SOFTWARE\\quorvane", u"xmlencodecharset", Value::Text(u"ibm437"));
    registry.WriteValue(HiveKind::User, u"software\\QUORVANE\\Extensions", u"Ext", Value::Text(u"e.zip"));

    EXPECT_EQ(registry.ReadValue(HiveKind::User, u"software\\quorvane", u"XMLENCODECHARSET"),
              Value::Text(u"ibm437"));
    EXPECT_EQ(registry.SubkeyNames(HiveKind::User, u""), std::vector<std::u16string>{u"Software"});
    EXPECT_EQ(registry.SubkeyNames(HiveKind::User, u"SOFTWARE"), std::vector<std::u16string>{u"Quorvane"});
    EXPECT_EQ(registry.ValueNames(HiveKind::User, u"Software\\Quorvane"),
              std::vector<std::u16string>{u"XMLEncodeCharSet"});
    EXPECT_TRUE(registry.KeyExists(HiveKind::User, u"software\\quorvane\\EXTENSIONS"));
    EXPECT_TRUE(registry.KeyExists(HiveKind::User, u""));
    EXPECT_FALSE(registry.KeyExists(HiveKind::User, u"Software\\Other"));
    EXPECT_TRUE(registry.ValueNames(HiveKind::User, u"Software\\Other").empty());
}

TEST_F(RegistryTest, EnumerationKeepsInsertionOrderAndDeletionIsRecursive) {
    Registry registry = Open();
    for (std::u16string_view name : {u"Zeta", u"alpha", u"Mid"}) {
        registry.WriteValue(HiveKind::User, u"K", name, Value::Number(1));
        registry.CreateKey(HiveKind::User, std::u16string(u"K\\") + std::u16string(name) + u"\\Deep");
    }
    EXPECT_EQ(registry.ValueNames(HiveKind::User, u"K"),
              (std::vector<std::u16string>{u"Zeta", u"alpha", u"Mid"}));
    EXPECT_EQ(registry.SubkeyNames(HiveKind::User, u"K"),
              (std::vector<std::u16string>{u"Zeta", u"alpha", u"Mid"}));

    EXPECT_TRUE(registry.DeleteKey(HiveKind::User, u"k\\ALPHA"));
    EXPECT_FALSE(registry.DeleteKey(HiveKind::User, u"K\\alpha"));
    EXPECT_FALSE(registry.KeyExists(HiveKind::User, u"K\\alpha\\Deep"));
    EXPECT_TRUE(registry.DeleteValue(HiveKind::User, u"K", u"zeta"));
    EXPECT_FALSE(registry.DeleteValue(HiveKind::User, u"K", u"zeta"));
    EXPECT_FALSE(registry.DeleteValue(HiveKind::User, u"Nowhere", u"x"));

    Registry fresh = Open();
    EXPECT_EQ(fresh.ValueNames(HiveKind::User, u"K"), (std::vector<std::u16string>{u"alpha", u"Mid"}));
    EXPECT_EQ(fresh.SubkeyNames(HiveKind::User, u"K"), (std::vector<std::u16string>{u"Zeta", u"Mid"}));
    ExpectError(automation::ErrorNumber::InvalidProcedureCall, u"root",
                [&] { fresh.DeleteKey(HiveKind::User, u"\\"); });
    ExpectError(automation::ErrorNumber::InvalidProcedureCall, u"key name",
                [&] { fresh.CreateKey(HiveKind::User, u"K\\line\nbreak"); });
}

TEST_F(RegistryTest, TwoRegistriesSeeEachOthersWrites) {
    Registry first = Open();
    Registry second = Open();
    EXPECT_EQ(second.ReadValue(HiveKind::User, General, u"Language"), std::nullopt);
    first.WriteValue(HiveKind::User, General, u"Language", Value::Text(u"a.xml"));
    EXPECT_EQ(second.ReadValue(HiveKind::User, General, u"Language"), Value::Text(u"a.xml"));
    // A write of the second must not drop what the first wrote in between.
    second.WriteValue(HiveKind::User, General, u"Keyword", Value::Text(u"k.xml"));
    first.WriteValue(HiveKind::User, General, u"CodeBase", Value::Text(u"c.xml"));
    EXPECT_EQ(Open().ValueNames(HiveKind::User, General),
              (std::vector<std::u16string>{u"Language", u"Keyword", u"CodeBase"}));
}

// A write reads the hive, changes it and saves it whole. Two processes writing at once each
// saved over what the other had saved a moment before, and values were lost for good.
TEST_F(RegistryTest, ProcessesWritingAtOnceLoseNoValue) {
    constexpr int Writers = 3;
    constexpr int ValuesEach = 40;
    const auto name = [](int writer, int index) {
        return automation::FromUtf8("W" + std::to_string(writer) + "-" + std::to_string(index));
    };
    const int failed = test::RunInProcessesTogether(Writers, [&](int writer) {
        Registry registry = Open();
        for (int index = 0; index < ValuesEach; ++index) {
            registry.WriteValue(HiveKind::User, General, name(writer, index),
                                Value::Number(static_cast<std::uint32_t>(index)));
        }
        return true;
    });
    ASSERT_EQ(failed, 0);
    Registry registry = Open();
    EXPECT_EQ(registry.ValueNames(HiveKind::User, General).size(),
              static_cast<std::size_t>(Writers) * ValuesEach);
    for (int writer = 0; writer < Writers; ++writer) {
        for (int index = 0; index < ValuesEach; ++index) {
            EXPECT_EQ(registry.ReadValue(HiveKind::User, General, name(writer, index)),
                      Value::Number(static_cast<std::uint32_t>(index)))
                << automation::ToUtf8(name(writer, index));
        }
    }
}

// A batch spares reads a look at the file each; it must not hide a change for longer than it
// lasts, nor let a write drop what another registry saved meanwhile.
TEST_F(RegistryTest, ABatchLooksAtEachFileOnceAndWritesStillMerge) {
    Registry reader = Open();
    Registry writer = Open();
    writer.WriteValue(HiveKind::User, General, u"Language", Value::Text(u"a.xml"));
    {
        Registry::Batch batch(reader);
        EXPECT_EQ(reader.ReadValue(HiveKind::User, General, u"Language"), Value::Text(u"a.xml"));
        writer.WriteValue(HiveKind::User, General, u"Language", Value::Text(u"b.xml"));
        { Registry::Batch nested(reader); }
        EXPECT_EQ(reader.ReadValue(HiveKind::User, General, u"Language"), Value::Text(u"a.xml"))
            << "read once per batch, and the nested one did not end it";

        writer.WriteValue(HiveKind::User, General, u"Keyword", Value::Text(u"k.xml"));
        reader.WriteValue(HiveKind::User, General, u"CodeBase", Value::Text(u"c.xml"));
        EXPECT_EQ(reader.ValueNames(HiveKind::User, General),
                  (std::vector<std::u16string>{u"Language", u"Keyword", u"CodeBase"}));
        EXPECT_EQ(reader.ReadValue(HiveKind::User, General, u"Language"), Value::Text(u"b.xml"));
    }
    writer.WriteValue(HiveKind::User, General, u"Language", Value::Text(u"c.xml"));
    EXPECT_EQ(reader.ReadValue(HiveKind::User, General, u"Language"), Value::Text(u"c.xml"));
}

TEST_F(RegistryTest, AWriteThatCannotBeSavedFailsAndIsNotKept) {
    // The hive's folder cannot be made: a file stands where it should be.
    system::CreateFolders(system::FromNativePath(mDir.Path()));
    system::WriteFileAtomic(system::FromNativePath(mDir / "config"), "not a folder");
    Registry registry = Open();
    ExpectError(system::FileErrorNumber::PathNotFound, u"config",
                [&] { registry.WriteValue(HiveKind::User, General, u"Language", Value::Text(u"x")); });
    EXPECT_EQ(registry.ReadValue(HiveKind::User, General, u"Language"), std::nullopt);
    EXPECT_FALSE(registry.KeyExists(HiveKind::User, General));

    // Once the hive can be saved again, the earlier failure has left nothing behind.
    std::filesystem::remove(mDir / "config");
    registry.WriteValue(HiveKind::User, General, u"Keyword", Value::Text(u"k.xml"));
    EXPECT_EQ(Open().ValueNames(HiveKind::User, General), std::vector<std::u16string>{u"Keyword"});

    // A link planted where the hive's lock file goes is not followed: nothing is made or locked
    // where it points, and the write fails.
    const std::filesystem::path lockFile = UserHive().parent_path() / ".user.reg.lock";
    std::filesystem::remove(lockFile);
    std::filesystem::create_symlink(mDir / "elsewhere", lockFile);
    ExpectError(system::FileErrorNumber::PathFileAccessError, u".user.reg.lock",
                [&] { registry.WriteValue(HiveKind::User, General, u"Language", Value::Text(u"x")); });
    EXPECT_FALSE(std::filesystem::exists(mDir / "elsewhere"));
    EXPECT_EQ(Open().ValueNames(HiveKind::User, General), std::vector<std::u16string>{u"Keyword"});
}

TEST_F(RegistryTest, AKeyPathDeeperThanTheLimitIsRefusedAndNothingIsSaved) {
    std::u16string path = u"A";
    for (int level = 1; level < 512; ++level) {
        path += u"\\b";
    }
    Registry registry = Open();
    registry.WriteValue(HiveKind::User, path, u"v", Value::Number(1));
    EXPECT_EQ(Open().ReadValue(HiveKind::User, path, u"v"), Value::Number(1));
    const std::string saved = system::ReadFileBytes(system::FromNativePath(UserHive()));
    ExpectError(automation::ErrorNumber::InvalidProcedureCall, u"at most 512 nested keys",
                [&] { registry.WriteValue(HiveKind::User, path + u"\\c", u"v", Value::Number(2)); });
    ExpectError(automation::ErrorNumber::InvalidProcedureCall, u"at most 512 nested keys",
                [&] { registry.CreateKey(HiveKind::User, path + u"\\c\\d"); });
    EXPECT_EQ(system::ReadFileBytes(system::FromNativePath(UserHive())), saved);
    EXPECT_FALSE(Open().KeyExists(HiveKind::User, path + u"\\c"));
}

TEST_F(RegistryTest, ADamagedHiveIsReportedWithItsFileAndLine) {
    system::WriteFileAtomic(system::FromNativePath(MachineHive()), "[A]\n\"ok\"=1:\"x\"\n\"bad\"=4:x\n");
    Registry registry = Open();
    // Appended: `u"'" + std::u16string&&` trips GCC 12's false -Wrestrict at -O3.
    std::u16string where =
        std::u16string(u"'").append(system::FromNativePath(MachineHive())).append(u"', line 3");
    ExpectError(DamagedHiveError, where, [&] { registry.ReadValue(HiveKind::Machine, u"A", u"ok"); });
    // The user hive is not touched by the other one's damage.
    registry.WriteValue(HiveKind::User, u"A", u"ok", Value::Text(u"y"));
    EXPECT_EQ(registry.ReadValue(HiveKind::User, u"A", u"ok"), Value::Text(u"y"));
    // A hive that is a folder cannot be read.
    Registry folderHive(mDir.Path(), MachineHive());
    ExpectError(system::FileErrorNumber::PathFileAccessError, system::FromNativePath(mDir.Path()),
                [&] { folderHive.KeyExists(HiveKind::User, u"A"); });
}

TEST_F(RegistryTest, HivePathsComeFromTheEnvironment) {
    test::ScopedEnvironment environment;
    environment.Set("QUORVANE_USER_HIVE", "/x/user.reg").Set("QUORVANE_MACHINE_HIVE", "/y/machine.reg");
    EXPECT_EQ(DefaultUserHivePath(), "/x/user.reg");
    EXPECT_EQ(DefaultMachineHivePath(), "/y/machine.reg");
    EXPECT_EQ(Registry().HivePath(HiveKind::Machine), "/y/machine.reg");

    environment.Unset("QUORVANE_USER_HIVE").Unset("QUORVANE_MACHINE_HIVE");
    environment.Set("HOME", "/home/u").Set("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(DefaultUserHivePath(), "/cfg/quorvane/user.reg");
    environment.Unset("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultUserHivePath(), "/home/u/.config/quorvane/user.reg");
    EXPECT_TRUE(std::filesystem::is_regular_file(DefaultMachineHivePath())) << DefaultMachineHivePath();
}

TEST(MachineHive, ShipsTheInstallerDefaults) {
    Registry registry("/nonexistent/user.reg",
                      std::filesystem::path(QV_SOURCE_DIR) / "share/quorvane/machine.reg");
    // A first run is recognised by a missing "Language": the machine hive must supply one.
    std::optional<Value> language = registry.ReadValue(HiveKind::Machine, General, u"Language");
    ASSERT_TRUE(language);
    EXPECT_FALSE(language->AsText().empty());
    for (std::u16string_view name : {u"Keyword", u"CodeBase", u"BackupFile", u"USERCODE", u"XMLEncodeCharSet",
                                     u"UTF8Project", u"MaxProjectBackupCount", u"ShowSession", u"CssFile"}) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_TRUE(registry.ReadValue(HiveKind::Machine, General, name));
    }
    EXPECT_EQ(registry.ReadValue(HiveKind::Machine, General, u"ScriptEngineTimeout")->Type(),
              ValueType::Dword);
    EXPECT_EQ(registry.ReadValue(HiveKind::Machine, General, u"UnloadThresholdCount")->Type(),
              ValueType::Dword);
    for (std::u16string_view key :
         {u"Software\\Quorvane\\6.0\\Settings\\Project", u"Software\\Quorvane\\6.0\\Settings\\Database",
          u"Software\\Quorvane\\6.0\\Settings\\Table", u"Software\\Quorvane\\6.0\\Settings\\Chart",
          u"Software\\Quorvane\\6.0\\Settings\\Field", u"Software\\Quorvane\\6.0\\AdvancedFilters",
          u"Software\\Quorvane\\6.0\\Extensions"}) {
        SCOPED_TRACE(std::string(key.begin(), key.end()));
        EXPECT_TRUE(registry.KeyExists(HiveKind::Machine, key));
    }
}

} // namespace
} // namespace qv::registry
