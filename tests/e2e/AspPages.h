#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

/// The server-side script of an ASP page as the web server compiles it: the page's server-side
/// includes put in place (file= relative to the page, virtual= to `siteRoot`), then the code of
/// every <% %> block in order, a <%= expression %> block as `Response.Write (expression)`.
/// Directives (<%@ ... %>) take no part. A missing include gives a line naming it, which does
/// not compile.
std::string AspServerScript(const std::filesystem::path& page, const std::filesystem::path& siteRoot);

/// Compiles the server-side script of every .asp page under `siteRoot` in our script engine,
/// without running it. One line per page that does not compile: its path, the line and the
/// error's description.
std::vector<std::string> AspCompileFailures(const std::filesystem::path& siteRoot);

} // namespace qv::test
