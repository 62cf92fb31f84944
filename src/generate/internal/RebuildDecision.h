#pragma once

#include <string>
#include <string_view>

namespace qv {

class QelCache;
class QelControl;

/// The prepared-script file of a control: "<CtrlID><CtrlTagExt>.tmp" in the temp work folder.
/// An id or tag that would lead out of the folder raises 52.
std::u16string PreparedScriptFile(const QelControl& control);

/// Decides whether the control's prepared script must be rebuilt and leaves the answer in its
/// CtrlGen: yes when the cache holds no date for the script, when the script file is gone, or
/// when one of its input files, key-session files or their included files (one level deep) was
/// modified after that date (to the second). A missing input folder or file ends the run
/// (gProjErr "Missing ..." and error -1). Leaves TemplateState::sourceFolder at the last folder it
/// read from.
bool ControlNeedsBuild(QelControl& control, QelCache& cache);

/// The names of the files the include tags of a template text refer to, joined by "," in the
/// order of the tags: the tag's inner text before its last "/" (the rest names a session), or
/// the whole inner text, trimmed. A tag without its closing "##-->" ends the scan.
std::u16string ListIncludes(std::u16string_view text);

} // namespace qv
