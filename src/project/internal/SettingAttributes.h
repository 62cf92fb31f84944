#pragma once

#include <string>
#include <string_view>

namespace qv::xml {
class Element;
class XmlWriter;
} // namespace qv::xml

namespace qv {

class QoProperties;
class SettingsEntity;

// The settings of an entity as the attributes of its element in the project file: every setting
// whose FileSave flag is set, in the bag's order, named exactly like the setting.

/// Writes the attributes of a bag's file settings into the open tag. Raises error 5 naming the
/// setting and `owner` (e.g. `table "Orders"`) when a value holds a character that XML cannot
/// hold, so that no file is written that would not load again.
void WriteSettingAttributes(xml::XmlWriter& writer, const QoProperties& settings, std::u16string_view owner);
/// The same for an entity, walking its settings table while it has made no bag.
void WriteSettingAttributes(xml::XmlWriter& writer, const SettingsEntity& entity, std::u16string_view owner);

/// Reads the element's attributes into the bag: each one into the first file setting whose name
/// equals the attribute's name exactly, converted by the setting's DataType. Attributes without
/// such a setting are ignored.
void ReadSettingAttributes(const xml::Element& element, QoProperties& settings);
void ReadSettingAttributes(const xml::Element& element, SettingsEntity& entity);

/// The text of a setting of the entity, for messages: "" when the setting has been deleted or
/// its value has no text. Never raises.
std::u16string SettingText(const SettingsEntity& entity, std::u16string_view name);

} // namespace qv
