#include "core/cRegistry.h"

#include "core/Apartment.h"
#include "core/RegistryValues.h"

#include "support/ApartmentFixture.h"

#include "platform/registry/Registry.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace qv {
namespace {

using automation::MakeRef;
using automation::Ref;
using automation::SafeArray;
using automation::Variant;
using automation::VarType;
using registry::HiveKind;

constexpr std::u16string_view Section = u"Software\\Quorvane\\6.0\\Settings\\General";

class cRegistryTest : public test::ApartmentTest {
protected:
    static registry::Value Stored(HiveKind hive, std::u16string_view name) {
        std::optional<registry::Value> value = CurrentRegistry().ReadValue(hive, Section, name);
        EXPECT_TRUE(value.has_value()) << automation::ToUtf8(name);
        return value.value_or(registry::Value());
    }

    static void Set(std::u16string_view name, std::int32_t type, const Variant& value) {
        SetRegValue(u"HKCU", Section, name, type, value);
    }

    static Variant Bytes(std::initializer_list<std::uint8_t> bytes) {
        Ref<SafeArray> array = MakeRef<SafeArray>(
            VarType::Byte, std::vector<SafeArray::Bound>{{0, static_cast<std::int32_t>(bytes.size())}});
        std::size_t index = 0;
        for (std::uint8_t byte : bytes) {
            array->Elements()[index++] = Variant(byte);
        }
        return Variant(array);
    }

    static std::int32_t ErrorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const automation::Error& error) {
            return error.Number();
        }
        return 0;
    }
};

TEST_F(cRegistryTest, ReadsPickTheHiveByTheExactRootText) {
    CurrentRegistry().WriteValue(HiveKind::Machine, Section, u"Language", registry::Value::Text(u"machine"));
    CurrentRegistry().WriteValue(HiveKind::User, Section, u"Language", registry::Value::Text(u"user"));
    EXPECT_EQ(automation::ToString(GetRegValue(u"HKLM", Section, u"Language")), u"machine");
    EXPECT_EQ(automation::ToString(GetRegValue(u"hklm", Section, u"Language")), u"user");
    EXPECT_EQ(automation::ToString(GetRegValue(u"HKCU", Section, u"language")), u"user");
    EXPECT_EQ(GetRegistry().ValueType(), 1);

    CurrentRegistry().WriteValue(HiveKind::User, Section, u"Timeout", registry::Value::Number(30));
    EXPECT_EQ(GetRegValue(u"HKCU", Section, u"Timeout").Type(), VarType::Long);
    EXPECT_EQ(GetRegistry().ValueType(), 4);
    EXPECT_TRUE(GetRegValue(u"HKCU", Section, u"Missing").IsEmpty());
    EXPECT_EQ(GetRegistry().ValueType(), 4) << "a failed read leaves the type of the last one";
    EXPECT_TRUE(GetRegValue(u"HKCU", u"No\\Such\\Key", u"x").IsEmpty());
}

TEST_F(cRegistryTest, ReadsEveryTypeInItsShape) {
    ::setenv("QV_REGISTRY_TEST", "expanded", 1);
    registry::Registry& hives = CurrentRegistry();
    hives.WriteValue(HiveKind::User, Section, u"Empty", registry::Value::Text(u""));
    hives.WriteValue(HiveKind::User, Section, u"Path", registry::Value::Text(u"%QV_REGISTRY_TEST%\\x", 2));
    hives.WriteValue(HiveKind::User, Section, u"Multi", registry::Value::MultiText({u"a", u"b"}));
    hives.WriteValue(HiveKind::User, Section, u"Big", registry::Value::Number(0x01020304, 5));
    hives.WriteValue(HiveKind::User, Section, u"Blob", registry::Value::Bytes({1, 2, 255}));
    hives.WriteValue(HiveKind::User, Section, u"NoBytes", registry::Value::Bytes({}));

    EXPECT_EQ(automation::ToString(GetRegValue(u"HKCU", Section, u"Empty")), u"");
    EXPECT_EQ(automation::ToString(GetRegValue(u"HKCU", Section, u"Path")), u"expanded\\x");
    EXPECT_EQ(automation::ToString(GetRegValue(u"HKCU", Section, u"Multi")), std::u16string(u"a\0b\0", 4));
    EXPECT_EQ(automation::ToLong(GetRegValue(u"HKCU", Section, u"Big")), 0x01020304);
    const Variant blob = GetRegValue(u"HKCU", Section, u"Blob");
    ASSERT_TRUE(blob.IsArray());
    EXPECT_EQ(blob.ArrayValue()->ElementType(), VarType::Byte);
    EXPECT_EQ(blob.ArrayValue()->ElementCount(), 3u);
    EXPECT_EQ(blob.ArrayValue()->Elements()[2].ByteValue(), 255);
    EXPECT_EQ(GetRegValue(u"HKCU", Section, u"NoBytes").ArrayValue()->ElementCount(), 0u);
    ::unsetenv("QV_REGISTRY_TEST");
}

TEST_F(cRegistryTest, TextWithEnvironmentReferencesIsStoredExpandable) {
    struct Case {
        std::u16string_view text;
        std::uint32_t storedType;
    };
    const Case cases[] = {
        {u"%HOME%\\x", 2},
        {u"100%", 1},
        {u"a%%b", 1},
        {u"%a%", 2},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(automation::ToUtf8(test.text));
        Set(u"Value", 1, Variant(test.text));
        EXPECT_EQ(Stored(HiveKind::User, u"Value").Type(), test.storedType);
        EXPECT_EQ(Stored(HiveKind::User, u"Value").AsText(), test.text) << "stored unexpanded";
    }
    Set(u"Flag", 1, Variant(true));
    EXPECT_EQ(Stored(HiveKind::User, u"Flag").AsText(), u"True");
    Set(u"Nothing", 1, Variant());
    EXPECT_EQ(Stored(HiveKind::User, u"Nothing").AsText(), u"");
}

TEST_F(cRegistryTest, NumbersAreStoredOrRefusedButNeverDropped) {
    // Regression: a number held as text, a Byte, a Double or Empty written as a number used to
    // be dropped without a word.
    struct Case {
        const char* what;
        Variant value;
        std::int32_t type;
        std::optional<std::uint32_t> stored; // nullopt: refused with 26001
    };
    const Case cases[] = {
        {"Integer", Variant(std::int16_t(-2)), 4, 0xFFFFFFFEu},
        {"Long as big-endian type", Variant(7), 5, 7u},
        {"text", Variant(u" 12 "), 4, 12u},
        {"Byte", Variant(std::uint8_t(9)), 4, 9u},
        {"whole Double", Variant(3.0), 4, 3u},
        {"Empty", Variant(), 4, 0u},
        {"Boolean", Variant(true), 4, 0xFFFFFFFFu},
        {"fraction", Variant(2.5), 4, std::nullopt},
        {"word", Variant(u"abc"), 4, std::nullopt},
        {"too large", Variant(5e9), 4, std::nullopt},
        {"Null", Variant::Null(), 4, std::nullopt},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        CurrentRegistry().DeleteValue(HiveKind::User, Section, u"Number");
        const std::int32_t error = ErrorOf([&] { Set(u"Number", test.type, test.value); });
        if (!test.stored) {
            EXPECT_EQ(error, RegistryError::Failed);
            EXPECT_FALSE(CurrentRegistry().ReadValue(HiveKind::User, Section, u"Number"));
            continue;
        }
        EXPECT_EQ(error, 0);
        const registry::Value stored = Stored(HiveKind::User, u"Number");
        EXPECT_EQ(stored.Type(), 4u) << "stored as a plain DWORD";
        EXPECT_EQ(stored.AsNumber(), *test.stored);
    }
}

TEST_F(cRegistryTest, BytesAndOtherTypesRoundTrip) {
    EXPECT_EQ(ErrorOf([] { Set(u"Blob", 3, Variant(u"text")); }), RegistryError::Failed);
    Set(u"Blob", 3, Bytes({0, 1, 2, 3}));
    EXPECT_EQ(Stored(HiveKind::User, u"Blob").AsBytes(), (std::vector<std::uint8_t>{0, 1, 2, 3}));

    // What a read gives back, written with the type it reported, stores the same value.
    CurrentRegistry().WriteValue(HiveKind::User, Section, u"Quad",
                                 registry::Value::Bytes({1, 0, 0, 0, 0, 0, 0, 0}, 11));
    CurrentRegistry().WriteValue(HiveKind::User, Section, u"Multi",
                                 registry::Value::MultiText({u"a", u"", u"b"}));
    for (std::u16string_view name : {u"Quad", u"Multi"}) {
        SCOPED_TRACE(automation::ToUtf8(name));
        const registry::Value before = Stored(HiveKind::User, name);
        const Variant read = GetRegValue(u"HKCU", Section, name);
        std::int32_t type = GetRegistry().ValueType();
        SetRegValue(u"HKCU", Section, u"Copy", type, read);
        EXPECT_EQ(Stored(HiveKind::User, u"Copy"), before);
    }
}

TEST_F(cRegistryTest, AWriteTheStoreRefusesRaises) {
    // A root without a hive: the key cannot be opened, and the text is exactly the class's own.
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(0);
    registry.SetSectionKey(u"Software");
    registry.SetValueKey(u"Language");
    registry.SetValueType(1);
    try {
        registry.SetValue(Variant(u"x"));
        ADD_FAILURE() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), RegistryError::Failed);
        EXPECT_EQ(error.Description(),
                  u"Failed to set registry value Key: '0',Section: 'Software',Key: 'Language' to value: 'x'");
    }

    std::ofstream(mTemp / "file") << "not a folder";
    UseRegistry(std::make_unique<registry::Registry>(mTemp / "file" / "user.reg", mTemp / "machine.reg"));
    try {
        Set(u"Language", 1, Variant(u"x"));
        ADD_FAILURE() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), RegistryError::Failed);
        EXPECT_EQ(error.Source(), RegistryErrorSource);
        EXPECT_NE(error.Description().find(u"Failed to set registry value Key: '-2147483647',Section: '" +
                                           std::u16string(Section) + u"',Key: 'Language' to value: 'x'"),
                  std::u16string::npos);
    }
}

TEST_F(cRegistryTest, EnumeratesNamesInRegistryOrder) {
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(RootKey::CurrentUser);
    registry.SetSectionKey(std::u16string(Section));
    std::vector<std::u16string> names{u"stale"};
    std::int32_t count = -1;
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());

    Set(u"Zeta", 1, Variant(u"z"));
    Set(u"Alpha", 1, Variant(u"a"));
    CurrentRegistry().CreateKey(HiveKind::User, std::u16string(Section) + u"\\Sub");
    registry.SetSectionKey(std::u16string(Section));
    EXPECT_TRUE(registry.EnumerateValues(names, count));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Zeta", u"Alpha"}));
    EXPECT_TRUE(registry.EnumerateSections(names, count));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Sub"}));

    // Late-bound callers get a text array from 1.
    Variant list;
    Variant listed;
    Variant args[] = {Variant::ByRef(list), Variant::ByRef(listed)};
    registry.InvokeByName(u"EnumerateValues", automation::InvokeKind::Method, args);
    EXPECT_EQ(automation::ToLong(listed), 2);
    EXPECT_EQ(list.ArrayValue()->LowerBound(1), 1);
}

TEST_F(cRegistryTest, DeletingMissingKeysAndValuesRaises) {
    cRegistry& registry = GetRegistry();
    registry.SetClassKey(RootKey::CurrentUser);
    registry.SetSectionKey(u"Software\\Nothing");
    registry.SetValueKey(u"x");
    EXPECT_FALSE(registry.KeyExists());
    EXPECT_EQ(ErrorOf([&] { registry.DeleteValue(); }), RegistryError::Failed);
    EXPECT_EQ(ErrorOf([&] { registry.DeleteKey(); }), RegistryError::Failed);
    EXPECT_TRUE(registry.CreateKey());
    EXPECT_TRUE(registry.KeyExists());
    EXPECT_EQ(ErrorOf([&] { registry.DeleteValue(); }), RegistryError::Failed);
    registry.DeleteKey();
    EXPECT_FALSE(registry.KeyExists());
}

TEST_F(cRegistryTest, CopyRegistryKeyCopiesATreeExactly) {
    registry::Registry& hives = CurrentRegistry();
    const std::u16string base = u"Software\\Quorvane\\6.0";
    hives.WriteValue(HiveKind::Machine, base + u"\\Settings\\General", u"Language",
                     registry::Value::Text(u"english.xml"));
    hives.WriteValue(HiveKind::Machine, base + u"\\Settings\\General", u"Home",
                     registry::Value::Text(u"%HOME%\\q", 2));
    hives.WriteValue(HiveKind::Machine, base + u"\\Settings\\Field", u"Quad",
                     registry::Value::Bytes({1, 2}, 11));
    hives.WriteValue(HiveKind::Machine, base + u"\\Settings\\Field", u"Width", registry::Value::Number(40));
    hives.CreateKey(HiveKind::Machine, base + u"\\Extensions");

    EXPECT_EQ(CopyRegistryKey(RootKey::LocalMachine, RootKey::CurrentUser, base), 0);
    EXPECT_EQ(hives.ReadValue(HiveKind::User, base + u"\\Settings\\General", u"Home"),
              registry::Value::Text(u"%HOME%\\q", 2))
        << "an expandable text stays unexpanded";
    EXPECT_EQ(hives.ReadValue(HiveKind::User, base + u"\\Settings\\Field", u"Quad"),
              registry::Value::Bytes({1, 2}, 11));
    EXPECT_EQ(hives.ReadValue(HiveKind::User, base + u"\\Settings\\Field", u"Width"),
              registry::Value::Number(40));
    EXPECT_TRUE(hives.KeyExists(HiveKind::User, base + u"\\Extensions"));
    EXPECT_EQ(CopyRegistryKey(RootKey::LocalMachine, RootKey::CurrentUser, u"Software\\Missing"), 0);
}

TEST_F(cRegistryTest, AssociationsGoUnderTheClassesRoot) {
    cRegistry& registry = GetRegistry();
    cRegistry::Association association;
    association.exePath = u"/usr/bin/quorvane";
    association.className = u"Quorvane.Project";
    association.classDescription = u"Quorvane project";
    association.extension = u"qvp";
    association.supportInstall = true;
    association.defaultIconIndex = 0;
    registry.CreateEXEAssociation(association);
    auto text = [](std::u16string_view key) {
        return CurrentRegistry()
            .ReadValue(HiveKind::User, u"Software\\Classes\\" + std::u16string(key), u"")
            ->AsText();
    };
    EXPECT_EQ(text(u".qvp"), u"Quorvane.Project");
    EXPECT_EQ(text(u"Quorvane.Project\\shell\\open\\command"), u"\"/usr/bin/quorvane\" \"%1\"");
    EXPECT_EQ(text(u"Quorvane.Project\\shell\\add"), u"&Install qvp");
    EXPECT_EQ(text(u"Quorvane.Project\\shell\\add\\command"), u"\"/usr/bin/quorvane\" /a \"%1\"");
    EXPECT_EQ(text(u"Quorvane.Project\\DefaultIcon"), u"\"/usr/bin/quorvane\",0");
    EXPECT_FALSE(
        CurrentRegistry().KeyExists(HiveKind::User, u"Software\\Classes\\Quorvane.Project\\shell\\print"));

    registry.CreateAdditionalEXEAssociations(u"Quorvane.Project",
                                             {u"gen", u"&Generate", u"quorvane gen \"%1\""});
    EXPECT_EQ(text(u"Quorvane.Project\\shell\\gen\\command"), u"quorvane gen \"%1\"");
    EXPECT_EQ(ErrorOf([&] {
                  registry.CreateAdditionalEXEAssociations(u"Quorvane.Project", {u"a", u"b"});
              }),
              RegistryError::InvalidParameterList);
    EXPECT_EQ(ErrorOf([&] { registry.CreateAdditionalEXEAssociations(u"No.Class", {}); }),
              RegistryError::ClassNotDefined);
}

} // namespace
} // namespace qv
