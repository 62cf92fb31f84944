#pragma once

#include "CommandHost.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qv {
class Qel;
}

namespace qv::cli {

class Session;

/// Runs the program with its arguments (without the program name): 0 on success. Output goes to
/// `out`; failures to `err`, as the library's own text where it has one.
int RunProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The commands: each takes the arguments after its name, writes its results to `out` and raises
// CommandError on failure.
void NewCommand(const std::vector<std::string>& arguments, std::ostream& out);
void ShowCommand(const std::vector<std::string>& arguments, std::ostream& out);
void SetCommand(const std::vector<std::string>& arguments, std::ostream& out);
void LoadTableCommand(const std::vector<std::string>& arguments, std::ostream& out, bool load);
void GenerateCommand(const std::vector<std::string>& arguments, std::ostream& out);
void GenCheckCommand(const std::vector<std::string>& arguments, std::ostream& out);
void CheckCommand(const std::vector<std::string>& arguments, std::ostream& out);
void SyncCommand(const std::vector<std::string>& arguments, std::ostream& out);
void DemoCommand(const std::vector<std::string>& arguments, std::ostream& out);

/// The help text of a command, or of the program for "".
std::string HelpText(const std::string& command);

/// Where a new project's site goes by default: the folder beside the project file named after
/// it with "-site".
std::filesystem::path DefaultSiteFolder(const std::filesystem::path& projectFile);

/// Whether the project's application root is its destination (or not set): output folders
/// under the root then follow the site when it moves.
bool RootFollowsDestination(Qel& project);
/// Sets the project's destination, and its application root with it when the two were one.
void MoveDestination(Qel& project, std::u16string_view folder);

/// Generates the loaded project's site. When the destination already holds files, the run is
/// made first into a fresh folder, and only outputs that would change are then asked about and
/// written; outputs that would come out the same are left untouched. Writes a summary line; an
/// output that could not be written then fails the command.
void GenerateSite(Session& session, std::ostream& out);

} // namespace qv::cli
