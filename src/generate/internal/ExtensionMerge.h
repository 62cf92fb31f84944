#pragma once

#include <string_view>

namespace qv {

class QelControl;
class QelControls;

/// Merges the control file of the extension `name` (its "control.xml" in the extensions work
/// folder) into `controls`, loading it into `scratch` first: "add" appends a control that is not
/// there yet, "change" merges the sessions into the control of the same CtrlID, "delete"
/// removes it (actions compared exactly; others ignored). Every merged control and session is
/// marked with the extension's name. Without a control file nothing happens; one that does not
/// load is reported in a message box and skipped, leaving gProjErr as it was.
void MergeExtension(std::u16string_view name, QelControls& controls, QelControls& scratch);

/// Applies the sessions of an extension's control to the template's control of the same CtrlID:
/// "add" inserts at the session's location, "change" replaces the session of the same SessValue,
/// "delete" removes it.
void MergeSessions(QelControl& target, QelControl& source);

} // namespace qv
