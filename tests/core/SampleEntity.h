#pragma once

#include "core/QelVars.h"
#include "core/SettingsEntity.h"

#include <string>
#include <string_view>

namespace qv::test {

/// An entity declared the way the model's entities are: its settings in a .def file, typed
/// accessors generated from it, and one setter that does more than store (the name recomputes
/// the identifier), listed in the member table.
class SampleEntity final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "core/SampleEntitySettings.def"
    };
#define QV_SETTING QV_SETTING_ACCESSORS
#define QV_SETTING_CUSTOM QV_SETTING_GETTER
#include "core/SampleEntitySettings.def"

    SampleEntity() : SettingsEntity(Settings()) {}

    static const SettingsTable& Settings() {
        static constexpr SettingInfo rows[] = {
#define QV_SETTING QV_SETTING_ROW
#include "core/SampleEntitySettings.def"
        };
        static const SettingsTable table(rows);
        return table;
    }

    const automation::ClassInfo& GetClassInfo() const override {
        using namespace automation;
        static const ClassInfo info(u"SampleEntity",
                                    {
                                        PropertiesMember(),
                                        Property<&SampleEntity::Key, &SampleEntity::SetKey>(u"Key"),
                                        Property<&SampleEntity::SmpName, &SampleEntity::SetKey>(u"SmpName"),
                                    });
        return info;
    }

    void SetSmpName(std::u16string_view name) {
        SetSettingValue(static_cast<std::size_t>(Setting::SmpName), automation::Variant(name));
        SetSmpVar(ToIdentifier(name, u""));
    }
    std::u16string Key() const {
        return SmpName();
    }
    void SetKey(std::u16string key) {
        SetSmpName(key);
    }
};

} // namespace qv::test
