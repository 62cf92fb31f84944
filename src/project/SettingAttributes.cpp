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
#include <string>

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

/// The value an attribute gives a setting, or nullopt when the setting keeps its value.
std::optional<Variant> AttributeValue(std::u16string_view name, std::u16string_view dataType,
                                      const std::u16string& text) {
    if (IsNamed(name, u"js")) {
        if (text.empty() || !system::FileExists(text)) {
            return std::nullopt;
        }
    } else if (IsNamed(name, u"fldtagvalues")) {
        return Variant(ReplaceAll(text, u"|", u"\r\n"));
    }
    return ConvertByTypeName(Variant(text), Variant(dataType));
}

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

void ReadSettingAttributes(const xml::Element& element, QoProperties& settings) {
    for (const xml::Attribute& attribute : element.Attributes()) {
        for (QoProperty& setting : settings) {
            if (!setting.FileSave() || setting.Name() != attribute.name) {
                continue;
            }
            if (std::optional<Variant> value =
                    AttributeValue(setting.Name(), setting.DataType(), attribute.value)) {
                setting.SetValue(*value);
            }
            break;
        }
    }
}

void ReadSettingAttributes(const xml::Element& element, SettingsEntity& entity) {
    if (entity.HasBag()) {
        ReadSettingAttributes(element, *entity.Properties());
        return;
    }
    const SettingsTable& table = entity.SettingsOf();
    for (const xml::Attribute& attribute : element.Attributes()) {
        // The table's index ignores letter case; the file's names must match exactly.
        const std::optional<std::size_t> ordinal = table.Find(attribute.name);
        if (!ordinal || !table[*ordinal].fileSave || table[*ordinal].name != attribute.name) {
            continue;
        }
        const SettingInfo& info = table[*ordinal];
        if (std::optional<Variant> value =
                AttributeValue(info.name, SettingTypeName(info.dataType), attribute.value)) {
            entity.SetSettingValue(*ordinal, *value);
        }
    }
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
