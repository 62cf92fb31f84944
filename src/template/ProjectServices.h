#pragma once

#include "platform/automation/Ref.h"
#include "platform/automation/Variant.h"

#include <cstdint>

namespace qv::automation {
class Object;
}

namespace qv {

class QoProperties;
class QelControls;
class ScriptHost;

/// The objects a script engine is initialised with, as the project hands them out.
struct ScriptEngineObjects {
    automation::Variant project;       ///< "PROJ": the project object
    automation::Variant database;      ///< "DB": the current database, or Nothing
    automation::Variant controls;      ///< "Controls": the project's control list
    automation::Variant masterDetails; ///< "MASTERDETAILS"
    automation::Variant customScripts; ///< "CUSTOMSCRIPTS"
};

/// The project's progress over the sessions of the controls being prepared.
struct PreparationProgress {
    std::int32_t position = 0;
    std::int32_t total = 0;
};

/// What the template engine's conversion and condition procedures need of the project object,
/// which implements it and owns the procedures' state. Borrowed pointers stay valid for the
/// duration of one call.
class ProjectServices {
public:
    virtual ~ProjectServices() = default;

    /// The settings bag of the project ("proj" condition terms).
    virtual QoProperties& ProjectSettings() = 0;
    /// The settings bag of the current database; nullptr while none is loaded.
    virtual QoProperties* DatabaseSettings() = 0;
    /// The settings bag of the generation loop's current table or field; nullptr when there is
    /// none.
    virtual QoProperties* CurrentTableSettings() = 0;
    virtual QoProperties* CurrentFieldSettings() = 0;
    /// The project's control list, created on first use; its current control is at curIndex.
    virtual QelControls& Controls() = 0;
    /// The objects an expression engine is initialised with (the language object is the
    /// apartment's, GetLanguage).
    virtual ScriptEngineObjects EngineObjects() = 0;
    /// A new, uninitialised script engine: an object with the ScriptHost face.
    virtual automation::Ref<ScriptHost> CreateScriptEngine() = 0;
    /// The position and total of the preparation progress, which MergeControlTemplate advances.
    virtual PreparationProgress& SessionProgress() = 0;
    /// Closes the progress window and raises error -1 with gProjErr as its description. Must
    /// not return.
    virtual void RaiseGenerationError() = 0;
};

} // namespace qv
