#pragma once

// Golden files of the model's tests: text written from what the model holds, compared byte for
// byte with a file under tests/model/golden. Goldens change only on purpose: QV_UPDATE_GOLDEN=1
// writes the text over the file instead of comparing.

#include "core/QoProperties.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv::test {

/// Compares `text` with the golden file `name`, naming the first line that differs.
inline void ExpectGolden(std::string_view name, const std::string& text) {
    const std::filesystem::path path = std::filesystem::path(QV_TEST_DATA_DIR) / "golden" / name;
    if (std::getenv("QV_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    std::ifstream stream(path, std::ios::binary);
    ASSERT_TRUE(stream) << "no golden file " << path << "; QV_UPDATE_GOLDEN=1 writes it";
    const std::string golden{std::istreambuf_iterator<char>(stream), {}};
    if (golden == text) {
        return;
    }
    std::istringstream expected(golden);
    std::istringstream actual(text);
    std::string expectedLine;
    std::string actualLine;
    for (int line = 1;; ++line) {
        const bool moreExpected = static_cast<bool>(std::getline(expected, expectedLine));
        const bool moreActual = static_cast<bool>(std::getline(actual, actualLine));
        if (moreExpected != moreActual || expectedLine != actualLine) {
            ADD_FAILURE() << name << " differs from line " << line
                          << "\n  golden: " << (moreExpected ? expectedLine : "(end)")
                          << "\n  now:    " << (moreActual ? actualLine : "(end)")
                          << "\nQV_UPDATE_GOLDEN=1 rewrites the golden after a deliberate change.";
            return;
        }
        if (!moreExpected) {
            ADD_FAILURE() << name << " differs in its line ends";
            return;
        }
    }
}

/// A value as the goldens show it: text quoted with control characters escaped, Booleans by
/// name, numbers with the type character of their subtype (% Integer, & Long, ! Single,
/// # Double, @ Currency), dates between #.
inline std::string GoldenValue(const automation::Variant& value) {
    using automation::VarType;
    const auto text = [&] { return automation::ToUtf8(automation::ToString(value)); };
    switch (value.Type()) {
    case VarType::Empty:
        return "Empty";
    case VarType::Null:
        return "Null";
    case VarType::Boolean:
        return value.BooleanValue() ? "True" : "False";
    case VarType::Integer:
        return text() + "%";
    case VarType::Long:
        return text() + "&";
    case VarType::Single:
        return text() + "!";
    case VarType::Double:
        return text() + "#";
    case VarType::Currency:
        return text() + "@";
    case VarType::Date:
        return "#" + text() + "#";
    case VarType::String: {
        std::string quoted = "\"";
        for (const char c : automation::ToUtf8(value.StringValue())) {
            if (c == '"' || c == '\\') {
                quoted += '\\';
                quoted += c;
            } else if (c == '\r') {
                quoted += "\\r";
            } else if (c == '\n') {
                quoted += "\\n";
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
        return quoted + "\"";
    }
    default:
        return "(" + std::to_string(static_cast<int>(value.Type())) + ") " + text();
    }
}

/// One entity's settings as "name=value" entries in bag order.
using SettingEntries = std::vector<std::pair<std::u16string, std::string>>;

/// The settings of the entity whose values differ from those of `before` (Empty where it has
/// no such setting), in bag order.
inline SettingEntries ChangedSettings(const SettingsEntity& entity, const SettingEntries& before = {}) {
    std::map<std::u16string, std::string> old(before.begin(), before.end());
    SettingEntries entries;
    for (const QoProperty& setting : *entity.Properties()) {
        std::string value = GoldenValue(setting.Value());
        const auto found = old.find(setting.Name());
        if (value != (found == old.end() ? "Empty" : found->second)) {
            entries.emplace_back(setting.Name(), std::move(value));
        }
    }
    return entries;
}

/// Writes entities under their labels so that a reader sees what sets them apart: each group
/// first gets the entries all its entities share, then each entity its own entries (a group of
/// one entity: only the first line). Entities come in the order given, their groups in the
/// order they first appear.
class GroupedEntries {
public:
    void Add(const std::string& group, const std::string& label, SettingEntries entries) {
        if (std::find(mGroupOrder.begin(), mGroupOrder.end(), group) == mGroupOrder.end()) {
            mGroupOrder.push_back(group);
        }
        mGroups[group].emplace_back(label, std::move(entries));
    }

    void WriteTo(std::string& text) const {
        for (const std::string& group : mGroupOrder) {
            const auto& members = mGroups.at(group);
            SettingEntries shared = members.front().second;
            for (const auto& member : members) {
                std::erase_if(shared, [&](const auto& entry) {
                    return std::find(member.second.begin(), member.second.end(), entry) ==
                           member.second.end();
                });
            }
            text += group + ":" + Joined(shared) + "\n";
            if (members.size() == 1) {
                continue;
            }
            for (const auto& [label, entries] : members) {
                SettingEntries own;
                std::copy_if(entries.begin(), entries.end(), std::back_inserter(own), [&](const auto& entry) {
                    return std::find(shared.begin(), shared.end(), entry) == shared.end();
                });
                text += "  " + label + ":" + Joined(own) + "\n";
            }
        }
    }

private:
    static std::string Joined(const SettingEntries& entries) {
        std::string text;
        for (const auto& [name, value] : entries) {
            text += " " + automation::ToUtf8(name) + "=" + value;
        }
        return text;
    }

    std::vector<std::string> mGroupOrder;
    std::map<std::string, std::vector<std::pair<std::string, SettingEntries>>> mGroups;
};

} // namespace qv::test
