#pragma once

#include <string>

namespace qv::system {

/// The user's home folder: $HOME, else the password database's entry, else "/".
std::u16string HomeFolder();

/// The user's documents folder, base of the work folders. QUORVANE_DOCUMENTS when set, else
/// the XDG documents folder (XDG_DOCUMENTS_DIR in the environment, then in xdg-user-dirs'
/// $XDG_CONFIG_HOME/user-dirs.dirs), else $HOME/Documents. Never empty; the folder need not
/// exist yet.
std::u16string DocumentsFolder();

/// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
/// $HOME/.config.
std::u16string ConfigFolder();

/// The folder for temporary files: $TMPDIR when set, else "/tmp".
std::u16string TempFolder();

/// The folder of the running program (from /proc/self/exe); "" when it cannot be found.
std::u16string ProgramFolder();

} // namespace qv::system
