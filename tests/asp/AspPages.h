#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

/// The page text with its server-side includes put in place, as the web server reads it
/// (file= relative to the page, virtual= to `siteRoot`). Each include that names no file is
/// added to `missing` and left out.
std::string ExpandAspIncludes(const std::filesystem::path& page, const std::filesystem::path& siteRoot,
                              std::vector<std::string>& missing);

/// The VBScript program the web server makes of an expanded ASP page: text between the blocks
/// becomes Response.Write of a literal, a <%= expression %> block Response.Write of the
/// expression, the page directive goes.
std::string AspScript(const std::string& expandedPage);

/// The same program for compiling only: a marker error is raised first (after Option Explicit),
/// so that adding the program to an engine compiles it whole and runs nothing.
std::string AspProgram(const std::string& expandedPage);

/// Compiles the server-side program of every .asp page under `siteRoot` in our script engine,
/// without running it. One line per page that does not compile or names a missing include: its
/// path, the line and the error's description.
std::vector<std::string> AspCompileFailures(const std::filesystem::path& siteRoot);

} // namespace qv::test
