#pragma once

#include "support/ApartmentFixture.h"
#include "support/ScopedEnvironment.h"

#include "core/Apartment.h"
#include "core/Settings.h"

#include "platform/automation/Variant.h"
#include "platform/registry/Registry.h"
#include "platform/registry/Value.h"

#include <gtest/gtest.h>

#include <string_view>

namespace qv::test {

inline constexpr std::u16string_view FieldKey = u"Software\\Quorvane\\6.0\\Settings\\Field";
inline constexpr std::u16string_view TableKey = u"Software\\Quorvane\\6.0\\Settings\\Table";
inline constexpr std::u16string_view DatabaseKey = u"Software\\Quorvane\\6.0\\Settings\\Database";

/// A fresh apartment with temporary hives (also for anything that opens the default hives) and
/// the module state a project object would have set: product name and registry keys.
class ModelTest : public ApartmentTest {
protected:
    void SetUp() override {
        mEnvironment.Set("QUORVANE_USER_HIVE", (mTemp / "user.reg").string())
            .Set("QUORVANE_MACHINE_HIVE", (mTemp / "machine.reg").string());
        ApartmentTest::SetUp();
        ModuleState& state = State();
        state.gProductName = u"Quorvane";
        state.gMsgPrefix = u"Quorvane";
        state.gRegKeyField = FieldKey;
        state.gRegKeyTable = TableKey;
        state.gRegKeyDatabase = DatabaseKey;
    }

    static void WriteUserValue(std::u16string_view key, std::u16string_view name,
                               const registry::Value& value) {
        CurrentRegistry().WriteValue(registry::HiveKind::User, key, name, value);
    }

    ScopedEnvironment mEnvironment;
};

/// Checks that a value is what a setting of that type reads as before anything is stored: "",
/// False or 0 with the setting's own subtype. Variant settings have no typed zero.
inline void ExpectTypedZero(const automation::Variant& value, SettingType type) {
    switch (type) {
    case SettingType::String:
        ASSERT_EQ(value.Type(), automation::VarType::String);
        EXPECT_EQ(value.StringValue(), u"");
        return;
    case SettingType::Boolean:
        ASSERT_EQ(value.Type(), automation::VarType::Boolean);
        EXPECT_FALSE(value.BooleanValue());
        return;
    case SettingType::Integer:
        ASSERT_EQ(value.Type(), automation::VarType::Integer);
        EXPECT_EQ(value.IntegerValue(), 0);
        return;
    case SettingType::Long:
        ASSERT_EQ(value.Type(), automation::VarType::Long);
        EXPECT_EQ(value.LongValue(), 0);
        return;
    case SettingType::Variant:
        ADD_FAILURE() << "a Variant setting has no typed zero";
        return;
    }
}

} // namespace qv::test
