#pragma once

#include "model/ModelFixture.h"

#include "project/Qel.h"

#include "core/Apartment.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"
#include "platform/registry/Registry.h"
#include "platform/registry/Value.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

inline constexpr std::u16string_view GeneralKey = u"Software\\Quorvane\\6.0\\Settings\\General";
inline constexpr std::u16string_view ProjectKey = u"Software\\Quorvane\\6.0\\Settings\\Project";
inline constexpr std::u16string_view ExtensionsKey = u"Software\\Quorvane\\6.0\\Extensions";

/// A fresh apartment with empty temporary hives (the default hives point there too), in which
/// the test makes its project objects (which set the module state the model's tests preset).
class ProjectTest : public ModelTest {
protected:
    static void WriteValue(registry::HiveKind hive, std::u16string_view key, std::u16string_view name,
                           const registry::Value& value) {
        CurrentRegistry().WriteValue(hive, key, name, value);
    }
    static void WriteUserText(std::u16string_view key, std::u16string_view name, std::u16string_view text) {
        WriteValue(registry::HiveKind::User, key, name, registry::Value::Text(std::u16string(text)));
    }
    static std::optional<registry::Value> UserValue(std::u16string_view key, std::u16string_view name) {
        return CurrentRegistry().ReadValue(registry::HiveKind::User, key, name);
    }

    /// A late-bound call, as the host and the scripts make it.
    static automation::Variant Call(automation::Object& object, std::u16string_view name,
                                    std::vector<automation::Variant> args = {},
                                    automation::InvokeKind kind = automation::InvokeRead) {
        return automation::CallByName(object, name, kind, std::move(args));
    }
    static automation::Variant Get(automation::Object& object, std::u16string_view name) {
        return Call(object, name);
    }
};

/// The same subtype and, unless Empty, the same text form.
inline void ExpectSameValue(const automation::Variant& actual, const automation::Variant& expected) {
    EXPECT_EQ(actual.Type(), expected.Type());
    if (!expected.IsEmpty() && actual.Type() == expected.Type()) {
        EXPECT_EQ(automation::ToString(actual), automation::ToString(expected));
    }
}

} // namespace qv::test
