#pragma once

#include "platform/automation/Error.h"
#include "platform/automation/Ref.h"

namespace qv::internal {

// Helpers of the member tables of the template engine's classes.

/// The object argument of a late-bound call; Nothing raises 91, as using it in a script would.
template <class T> T& RequireObject(const automation::Ref<T>& object) {
    if (!object) {
        automation::Raise(automation::ErrorNumber::ObjectVariableNotSet);
    }
    return *object;
}

/// The Load members that take an XML element: no script object is one (the XML layer has no
/// automation face), so a late-bound call can only pass something else, which is a type
/// mismatch. C++ callers use the typed overloads.
[[noreturn]] inline void RaiseNotAnXmlElement() {
    automation::Raise(automation::ErrorNumber::TypeMismatch);
}

} // namespace qv::internal
