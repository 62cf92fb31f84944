#include "project/internal/SettingAttributes.h"

#include "core/QoProperties.h"
#include "core/SettingConversion.h"
#include "core/Settings.h"
#include "core/SettingsEntity.h"
#include "core/VbText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Variant.h"
#include "platform/system/FileSystem.h"
#include "platform/xml/Node.h"
#include "platform/xml/XmlWriter.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

namespace {

using automation::Variant;

/// Lower-case ASCII comparison, as the special setting names are recognised.
bool IsNamed(std::u16string_view name, std::u16string_view lowerName) {
    if (name.size() != lowerName.size()) {
        return false;
    }
    for (std::size_t index = 0; index < name.size(); ++index) {
        char16_t unit = name[index];
        if (unit >= u'A' && unit <= u'Z') {
            unit = static_cast<char16_t>(unit - u'A' + u'a');
        }
        if (unit != lowerName[index]) {
            return false;
        }
    }
    return true;
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to) {
    std::u16string result;
    result.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t found = text.find(from); found != std::u16string_view::npos;
         found = text.find(from, start)) {
        result.append(text.substr(start, found - start));
        result.append(to);
        start = found + from.size();
    }
    result.append(text.substr(start));
    return result;
}

/// The attribute text of one setting. A value with no text form (Null, an object, an array) is
/// written as "" rather than stopping the save: one odd value must not make a project unsavable.
std::u16string AttributeText(std::u16string_view name, std::u16string_view dataType, const Variant& value) {
    if (dataType == u"Boolean") {
        const Variant converted = value.IsEmpty() ? Variant() : ConvertToDataType(value, Variant(u"Boolean"));
        return converted.Type() == automation::VarType::Boolean && converted.BooleanValue() ? u"1" : u"0";
    }
    std::u16string text;
    if (!value.IsObject()) {
        text = TextOf(value).value_or(std::u16string());
    }
    if (IsNamed(name, u"fldtagvalues")) {
        return ReplaceAll(text, u"\r\n", u"|");
    }
    return text;
}

void WriteOne(xml::XmlWriter& writer, std::u16string_view name, std::u16string_view dataType,
              const Variant& value, std::u16string_view owner) {
    try {
        writer.WriteAttribute(name, AttributeText(name, dataType, value));
    } catch (const automation::Error& error) {
        // Name the entity too: the writer's message only knows the attribute.
        throw automation::Error(error.Number(), error.Source(),
                                u"Cannot save " + std::u16string(owner) + u": " + error.Description());
    }
}

/// The value an attribute gives a setting, or nullopt when the setting keeps its value. Sets
/// `unread` when the setting does not take the text as the file has it.
std::optional<Variant> AttributeValue(std::u16string_view name, std::u16string_view dataType,
                                      const std::u16string& text, std::optional<std::u16string>& unread) {
    if (IsNamed(name, u"js")) {
        if (text.empty() || !system::FileExists(text)) {
            if (!text.empty()) {
                unread = u"the setting takes only the name of a file that exists";
            }
            return std::nullopt;
        }
    } else if (IsNamed(name, u"fldtagvalues")) {
        return Variant(ReplaceAll(text, u"|", u"\r\n"));
    }
    Variant value = ConvertByTypeName(Variant(text), Variant(dataType));
    // "" is how an Empty number is written; anything else that gives Empty was not understood.
    if (value.IsEmpty() && !text.empty()) {
        unread = u"\"" + text + u"\" is not a value of the setting's type, " + std::u16string(dataType);
    }
    return value;
}

bool IsOther(std::u16string_view name, std::span<const std::u16string_view> others) {
    for (std::u16string_view other : others) {
        if (name == other) {
            return true;
        }
    }
    return false;
}

constexpr std::u16string_view NoSuchSetting = u"no setting of that name belongs there";

} // namespace

void WriteSettingAttributes(xml::XmlWriter& writer, const QoProperties& settings, std::u16string_view owner) {
    for (const QoProperty& setting : settings) {
        if (setting.FileSave()) {
            WriteOne(writer, setting.Name(), setting.DataType(), setting.Value(), owner);
        }
    }
}

void WriteSettingAttributes(xml::XmlWriter& writer, const SettingsEntity& entity, std::u16string_view owner) {
    if (entity.HasBag()) {
        WriteSettingAttributes(writer, *entity.Properties(), owner);
        return;
    }
    // Without a bag the settings are exactly the table's, in its order.
    const SettingsTable& table = entity.SettingsOf();
    for (std::size_t ordinal = 0; ordinal < table.Size(); ++ordinal) {
        const SettingInfo& info = table[ordinal];
        if (info.fileSave) {
            WriteOne(writer, info.name, SettingTypeName(info.dataType), entity.SettingValue(ordinal), owner);
        }
    }
}

std::vector<UnreadAttribute> ReadSettingAttributes(const xml::Element& element, QoProperties& settings,
                                                   std::span<const std::u16string_view> others) {
    std::vector<UnreadAttribute> unread;
    for (const xml::Attribute& attribute : element.Attributes()) {
        QoProperty* found = nullptr;
        bool derived = false;
        for (QoProperty& setting : settings) {
            if (setting.Name() != attribute.name) {
                continue;
            }
            if (setting.FileSave()) {
                found = &setting;
                break;
            }
            derived = true;
        }
        if (found == nullptr) {
            if (!derived && !IsOther(attribute.name, others)) {
                unread.push_back({attribute.name, std::u16string(NoSuchSetting)});
            }
            continue;
        }
        std::optional<std::u16string> reason;
        if (std::optional<Variant> value =
                AttributeValue(found->Name(), found->DataType(), attribute.value, reason)) {
            found->SetValue(*value);
        }
        if (reason) {
            unread.push_back({attribute.name, std::move(*reason)});
        }
    }
    return unread;
}

std::vector<UnreadAttribute> ReadSettingAttributes(const xml::Element& element, SettingsEntity& entity,
                                                   std::span<const std::u16string_view> others) {
    if (entity.HasBag()) {
        return ReadSettingAttributes(element, *entity.Properties(), others);
    }
    std::vector<UnreadAttribute> unread;
    const SettingsTable& table = entity.SettingsOf();
    for (const xml::Attribute& attribute : element.Attributes()) {
        // The table's index ignores letter case; the file's names must match exactly.
        const std::optional<std::size_t> ordinal = table.Find(attribute.name);
        if (!ordinal || table[*ordinal].name != attribute.name) {
            if (!IsOther(attribute.name, others)) {
                unread.push_back({attribute.name, std::u16string(NoSuchSetting)});
            }
            continue;
        }
        if (!table[*ordinal].fileSave) {
            continue;
        }
        const SettingInfo& info = table[*ordinal];
        std::optional<std::u16string> reason;
        if (std::optional<Variant> value =
                AttributeValue(info.name, SettingTypeName(info.dataType), attribute.value, reason)) {
            entity.SetSettingValue(*ordinal, *value);
        }
        if (reason) {
            unread.push_back({attribute.name, std::move(*reason)});
        }
    }
    return unread;
}

std::vector<UnreadAttribute> UnknownAttributes(const xml::Element& element,
                                               std::span<const std::u16string_view> known) {
    std::vector<UnreadAttribute> unknown;
    for (const xml::Attribute& attribute : element.Attributes()) {
        if (!IsOther(attribute.name, known)) {
            unknown.push_back({attribute.name, std::u16string(NoSuchSetting)});
        }
    }
    return unknown;
}

std::u16string SettingText(const SettingsEntity& entity, std::u16string_view name) {
    const Variant* value = nullptr;
    if (entity.HasBag()) {
        if (const QoProperty* setting = entity.Properties()->Find(name)) {
            value = &setting->Value();
        }
    } else if (std::optional<std::size_t> ordinal = entity.SettingsOf().Find(name)) {
        value = &entity.SettingValue(*ordinal);
    }
    if (value == nullptr || value->IsObject()) {
        return {};
    }
    return TextOf(*value).value_or(std::u16string());
}

} // namespace qv
