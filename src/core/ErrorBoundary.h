#pragma once

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/automation/Error.h"

#include <string>
#include <utility>

namespace qv {

// The library reports errors one way inside: an automation::Error raised, or a typed result where
// an operation has several outcomes. Only the public members of the project object and the
// members scripts call turn an error into the ProjErr text and a return value, through
// ReportFailures below; nothing inside tests ProjErr to learn whether a call failed.

/// The error text of a failure raised below the project object: the product name, ": " and the
/// error's description (the runtime's standard text for a standard number).
inline std::u16string FailureText(const automation::Error& error) {
    const ModuleState& state = State();
    std::u16string text = state.gMsgPrefix;
    text += u": ";
    text += error.Description();
    return text;
}

/// Runs the body of a public operation that reports through ProjErr. An error raised inside
/// closes a progress window left open and becomes the error text; the operation then gives
/// `failed`. The operation's own messages are set by the body itself.
template <class Result, class Body> Result ReportFailures(Result failed, Body&& body) {
    try {
        return std::forward<Body>(body)();
    } catch (const automation::Error& error) {
        GetStatus().CloseStatus();
        State().gProjErr = FailureText(error);
        return failed;
    }
}

/// The same for an operation without a result.
template <class Body> void ReportFailures(Body&& body) {
    ReportFailures(true, [&] {
        std::forward<Body>(body)();
        return true;
    });
}

} // namespace qv
