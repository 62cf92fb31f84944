#pragma once

#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qv {

/// The declared type of a setting, as its DataType names it.
enum class SettingType : std::uint8_t { String, Boolean, Integer, Long, Variant };

/// "String", "Boolean", "Integer", "Long" or "Variant".
std::u16string_view SettingTypeName(SettingType type) noexcept;

/// One row of an entity's settings table.
struct SettingInfo {
    std::u16string_view name;
    SettingType dataType = SettingType::Variant;
    bool regSave = false;
    std::int32_t regFormat = 0; ///< 1 text, 4 number, 0 when not kept in the registry
    bool fileSave = false;
    bool sync = false;
};

/// The C++ types of a setting's typed accessors.
template <SettingType> struct SettingTraits;
template <> struct SettingTraits<SettingType::String> {
    using Value = std::u16string;
    using Param = std::u16string_view;
};
template <> struct SettingTraits<SettingType::Boolean> {
    using Value = bool;
    using Param = bool;
};
template <> struct SettingTraits<SettingType::Integer> {
    using Value = std::int16_t;
    using Param = std::int16_t;
};
template <> struct SettingTraits<SettingType::Long> {
    using Value = std::int32_t;
    using Param = std::int32_t;
};
template <> struct SettingTraits<SettingType::Variant> {
    using Value = automation::Variant;
    using Param = const automation::Variant&;
};

/// The settings an entity class defines, in definition order, with an index from name (any
/// letter case) to position. One per entity class, built once from its `.def` file; the rows
/// must outlive it (they are static constant data).
class SettingsTable {
public:
    explicit SettingsTable(std::span<const SettingInfo> settings);
    SettingsTable(const SettingsTable&) = delete;
    SettingsTable& operator=(const SettingsTable&) = delete;

    std::span<const SettingInfo> Settings() const noexcept { return mSettings; }
    std::size_t Size() const noexcept { return mSettings.size(); }
    const SettingInfo& operator[](std::size_t ordinal) const noexcept { return mSettings[ordinal]; }
    /// The position of the setting of that name, or nullopt.
    std::optional<std::size_t> Find(std::u16string_view name) const;

private:
    std::span<const SettingInfo> mSettings;
    std::unordered_map<std::u16string_view, std::size_t, automation::NoCaseHash, automation::NoCaseEqual>
        mIndex;
};

} // namespace qv

// ---------------------------------------------------------------------------------------------
// Declaring an entity's settings.
//
// An entity lists its settings once, in a `.def` file that has no include guard, supplies
// empty defaults for its macros and undefines them at its end:
//
//     #ifndef QV_SETTING
//     #define QV_SETTING(name, dataType, regSave, regFormat, fileSave, sync)
//     #endif
//     #ifndef QV_SETTING_CUSTOM
//     #define QV_SETTING_CUSTOM(name, dataType, ...) QV_SETTING(name, dataType, __VA_ARGS__)
//     #endif
//     QV_SETTING(FldName, String, false, 0, true, false)
//     QV_SETTING_CUSTOM(FldVar, String, false, 0, true, false)
//     #undef QV_SETTING
//     #undef QV_SETTING_CUSTOM
//
// `dataType` is one of String, Boolean, Integer, Long, Variant. QV_SETTING_CUSTOM marks a
// setting whose setter does more than store; the entity writes that setter itself (and, for
// late-bound callers, lists the setting in its member table, which is searched first).
//
// The entity includes the file three times, defining QV_SETTING as one of the macros below:
//
//     class QelField final : public SettingsEntity {
//     public:
//         enum class Setting : std::uint16_t {
//     #define QV_SETTING QV_SETTING_ENUMERATOR
//     #include "model/field/FieldSettings.def"
//         };
//     #define QV_SETTING QV_SETTING_ACCESSORS
//     #define QV_SETTING_CUSTOM QV_SETTING_GETTER
//     #include "model/field/FieldSettings.def"
//         static const SettingsTable& Settings(); // in the .cpp, below
//         ...
//     };
//
//     const SettingsTable& QelField::Settings() {
//         static constexpr SettingInfo rows[] = {
//     #define QV_SETTING QV_SETTING_ROW
//     #include "model/field/FieldSettings.def"
//         };
//         static const SettingsTable table(rows);
//         return table;
//     }
//
// Each setting X then has a getter X() converting the bag value to the declared type (never
// stored: "", False, 0) and a setter SetX(value) storing it as that type; scripts and the host
// reach it by name through SettingsEntity::Invoke.

/// The enumerator naming a setting's position.
#define QV_SETTING_ENUMERATOR(name, ...) name,

/// A row of the settings table.
#define QV_SETTING_ROW(name, dataType, regSave, regFormat, fileSave, sync)                                   \
    ::qv::SettingInfo{u"" #name, ::qv::SettingType::dataType, regSave, regFormat, fileSave, sync},

/// The typed getter, named like the setting.
#define QV_SETTING_GETTER(name, dataType, ...)                                                               \
    ::qv::SettingTraits<::qv::SettingType::dataType>::Value name() const {                                   \
        return GetSetting<::qv::SettingType::dataType>(static_cast<std::size_t>(Setting::name));             \
    }

/// The typed setter, "Set" followed by the setting's name.
#define QV_SETTING_SETTER(name, dataType, ...)                                                               \
    void Set##name(::qv::SettingTraits<::qv::SettingType::dataType>::Param value) {                          \
        SetSettingValue(static_cast<std::size_t>(Setting::name), ::qv::automation::Variant(value));          \
    }

/// Getter and setter.
#define QV_SETTING_ACCESSORS(name, dataType, ...)                                                            \
    QV_SETTING_GETTER(name, dataType)                                                                        \
    QV_SETTING_SETTER(name, dataType)
