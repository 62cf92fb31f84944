#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

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

/// An attribute that ReadSettingAttributes did not take as the file has it.
struct UnreadAttribute {
    std::u16string name;
    /// Why, as a clause: no file setting bears the name, or the setting cannot hold the value.
    std::u16string reason;
};

/// Reads the element's attributes into the bag: each one into the first file setting whose name
/// equals the attribute's name exactly, converted by the setting's DataType. Returns, in the
/// element's order, the attributes that no setting bears (which are read past) and those whose
/// text the setting's type cannot hold (which leave it Empty), since a save would not write them
/// back. Not among them: a setting the file does not hold (the project derives it) and the
/// element's own attributes that are no settings (`others`).
std::vector<UnreadAttribute> ReadSettingAttributes(const xml::Element& element, QoProperties& settings,
                                                   std::span<const std::u16string_view> others = {});
std::vector<UnreadAttribute> ReadSettingAttributes(const xml::Element& element, SettingsEntity& entity,
                                                   std::span<const std::u16string_view> others = {});

/// The attributes of an element that reads no settings, other than those it reads (`known`).
std::vector<UnreadAttribute> UnknownAttributes(const xml::Element& element,
                                               std::span<const std::u16string_view> known);

/// The text of a setting of the entity, for messages: "" when the setting has been deleted or
/// its value has no text. Never raises.
std::u16string SettingText(const SettingsEntity& entity, std::u16string_view name);

} // namespace qv
