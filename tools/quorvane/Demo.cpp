#include "Commands.h"

#include "CommandLine.h"
#include "Session.h"

#include "project/Qel.h"

#include "platform/ado/ConnectionString.h"
#include "platform/registry/Registry.h"

#include "platform/automation/Variant.h"

#include <ostream>
#include <system_error>

namespace qv::cli {

namespace fs = std::filesystem;
using automation::Variant;

namespace {

/// The shared files: the folder of the machine hive, as the library finds it.
fs::path ShareFolder() {
    return registry::DefaultMachineHivePath().parent_path();
}

fs::path RequireFile(const fs::path& file, const std::string& what) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw CommandError("quorvane: demo: the bundled " + what + " is missing: " + file.string() +
                           " (build the project first: make demo)");
    }
    return file;
}

} // namespace

void DemoCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("demo", arguments, {});
    if (line.HelpWanted()) {
        out << HelpText("demo");
        return;
    }
    line.ExpectPositional(0, 1, "DIR");
    fs::path site = line.Positional().empty() ? fs::path("demo-site") : fs::path(line.Positional()[0]);
    site = fs::absolute(site).lexically_normal();
    if (!site.has_filename()) {
        site = site.parent_path();
    }
    fs::path projectFile = site;
    projectFile.replace_filename(site.filename().string() + ".xml");
    const fs::path database = RequireFile(ShareFolder() / "demo" / "shop.db", "demo database");

    // The demo answers everything itself: its own outputs are replaced when they change, and
    // the bundled package is always the one extracted.
    CommandAnswers answers;
    answers.overwrite = OverwriteKind::All;
    answers.templateFolder = host::TemplateChoice::Overwrite;
    {
        Session session(answers);
        Qel& project = session.Project();
        project.AddProj(u"shop");
        ado::ConnectionString text;
        text.Set(u"Driver", u"SQLite3");
        text.Set(u"Database", LibraryPath(database));
        project.LoadDB(Variant(u""), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
                       Variant(u""), Variant(u""), Variant(text.ToString()), Variant(u""));
        session.ThrowIfFailed();
        if (project.Template().empty()) {
            project.SetTemplate(
                LibraryPath(RequireFile(ShareFolder() / "templates" / "quorvane.zip", "template package")));
        }
        project.SetDestination(LibraryPath(site));
        project.SetAppRootFolder(LibraryPath(site));
        session.Save(projectFile);
    }
    // The site is generated from the saved project, as a user's later runs will be.
    Session session(answers);
    session.Load(projectFile);
    GenerateSite(session, out);
    out << "Site:         " << site.string() << "\n"
        << "Project file: " << projectFile.string() << "\n"
        << "Next: quorvane show " << projectFile.string() << "    (quorvane --help lists the commands)\n";
}

} // namespace qv::cli
