#pragma once

#include "project/Qel.h"

#include "platform/automation/Ref.h"

#include <filesystem>
#include <functional>
#include <string>

namespace qv::test::site {

/// Generates a site as a developer does: the database behind `connection` loaded into a new
/// project, `configure` making the developer's choices, and the project's generation run with
/// the bundled template package and the export extension writing the site into `site`. The
/// staged share tree is copied below `work`, with the hives and the documents folder, and the
/// apartment is set up for the run and reset after it. Returns the project's ProjErr of the
/// load or the run ("" is a pass). A `schema` names the one the project is loaded from.
std::string GenerateSite(const std::u16string& connection, const std::filesystem::path& work,
                         const std::filesystem::path& site, const std::function<void(Qel&)>& configure,
                         const std::u16string& schema = u"");

/// The same for an Access database file, loaded as the host loads one, with the package's
/// defaults.
std::string GenerateAccessSite(const std::filesystem::path& file, const std::filesystem::path& work,
                               const std::filesystem::path& site);

/// Helpers for `configure`: a field's generation, a master/detail pair on one field each and a
/// login from a user table.
void GenerateField(Qel& project, std::u16string_view table, std::u16string_view field);
void AddMasterDetail(Qel& project, std::u16string_view master, std::u16string_view detail,
                     std::u16string_view masterField, std::u16string_view detailField);
void SetDynamicLogin(Qel& project, std::u16string_view table, std::u16string_view loginField,
                     std::u16string_view passwordField);

} // namespace qv::test::site
