#include "Commands.h"

#include "CommandLine.h"
#include "Session.h"
#include "SettingAccess.h"

#include "project/Qel.h"
#include "schema/SchemaCheck.h"

#include "model/CatalogFacts.h"
#include "model/LoadSettings.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/ado/ConnectionString.h"
#include "platform/system/Paths.h"

#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <algorithm>
#include <iostream>
#include <system_error>

namespace qv::cli {

namespace fs = std::filesystem;
using automation::Variant;

namespace {

/// Prints the command's help and returns true when --help was given.
bool PrintHelp(const CommandLine& line, const std::string& command, std::ostream& out) {
    if (line.HelpWanted()) {
        out << HelpText(command);
    }
    return line.HelpWanted();
}

std::size_t LoadedTableCount(Qel& project) {
    automation::Ref<QelDatabase> database = project.db();
    if (!database) {
        return 0;
    }
    std::size_t count = 0;
    for (QelTable& table : *database->tables()) {
        count += table.TblLoaded() ? 1 : 0;
    }
    return count;
}

/// The project's name of the table a command names, found as show and set find it (in any
/// letter case); the database knows the table only by the project's name. A field is no table.
std::u16string ProjectTableName(Qel& project, const std::string& name) {
    const SettingTarget target = FindTarget(project, name);
    const auto* table = dynamic_cast<const QelTable*>(target.entity.Get());
    if (table == nullptr) {
        throw CommandError("quorvane: the project has no table " + name + " (it names the " +
                           target.description + ")");
    }
    return table->TblName();
}

/// Loads or unloads each named table; the names are checked first so that a wrong one changes
/// nothing.
void LoadTables(Session& session, const std::vector<std::string>& names, bool load) {
    std::vector<std::u16string> found;
    found.reserve(names.size());
    for (const std::string& name : names) {
        found.push_back(ProjectTableName(session.Project(), name));
    }
    for (const std::u16string& name : found) {
        const Variant table(name);
        if (load) {
            session.Project().LoadTable(table);
        } else {
            session.Project().UnLoadTable(table);
        }
        session.ThrowIfFailed();
    }
}

/// The NAME=VALUE arguments of `set`, after the optional target.
std::pair<std::string, std::vector<std::string>> SplitTarget(const std::vector<std::string>& arguments) {
    if (arguments.size() > 1 && arguments[1].find('=') == std::string::npos) {
        return {arguments[1], {arguments.begin() + 2, arguments.end()}};
    }
    return {"", {arguments.begin() + 1, arguments.end()}};
}

void LoadDatabase(Session& session, const CommandLine& line) {
    const std::vector<std::string> sources = {"sqlite", "odbc", "connection-string", "access"};
    const auto given = std::count_if(sources.begin(), sources.end(),
                                     [&](const std::string& source) { return line.Has(source); });
    if (given != 1) {
        UsageError("new", "give one database: --sqlite, --odbc, --connection-string or --access");
    }
    const Variant user(Utf16(line.Value("user").value_or("")));
    const Variant password(Utf16(line.Value("password").value_or("")));
    if (line.Has("user") && !line.Has("odbc")) {
        UsageError("new", "--user goes with --odbc");
    }
    // An Access file has no schemas to choose from.
    if (line.Has("schema") && line.Has("access")) {
        UsageError("new", "--schema goes with --sqlite, --odbc or --connection-string");
    }
    Qel& project = session.Project();
    const Variant schema(Utf16(line.Value("schema").value_or("")));
    if (std::optional<std::string> file = line.Value("sqlite")) {
        // The SQLite driver would quietly create an empty database in place of a missing one.
        std::error_code error;
        if (!fs::is_regular_file(*file, error)) {
            throw CommandError("quorvane: new: no SQLite database " + *file);
        }
        ado::ConnectionString text;
        text.Set(u"Driver", u"SQLite3");
        text.Set(u"Database", LibraryPath(*file));
        project.LoadDB(Variant(u""), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
                       Variant(u""), Variant(u""), Variant(text.ToString()), schema);
    } else if (std::optional<std::string> dsn = line.Value("odbc")) {
        project.LoadDB(Variant(Utf16(*dsn)), Variant(u"ODBC"), Variant(u""), Variant(u""), Variant(false),
                       user, password, Variant(u""), schema);
    } else if (std::optional<std::string> text = line.Value("connection-string")) {
        project.LoadDB(Variant(u""), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
                       Variant(u""), Variant(u""), Variant(Utf16(*text)), schema);
    } else if (std::optional<std::string> access = line.Value("access")) {
        std::error_code error;
        if (!fs::is_regular_file(*access, error)) {
            throw CommandError("quorvane: new: no Access database " + *access);
        }
        // The file itself is the physical path; the site finds its copy beside the pages
        // (an empty DBPath), mapped by the web server.
        project.LoadDB(Variant(u""), Variant(u"ACCESS"), Variant(u""), Variant(LibraryPath(*access)),
                       Variant(true), Variant(u""), password, Variant(u""), Variant(u""));
    }
    if (project.ProjErr().ends_with(catalog::NameTheSchemaText)) {
        // The library asks for the schema to be named; here that is an option.
        throw CommandError(ProgramMessage(project.ProjErr()) + "\n--schema NAME chooses one.");
    }
    session.ThrowIfFailed();
    if (line.Has("schema")) {
        // The project keeps the schema, so that later checks and syncs read the same one.
        project.db()->SetDBSchema(schema.StringValue());
    }
}

/// Keeps the fields of the listed tables loaded and unloads the others.
void KeepTables(Session& session, const std::vector<std::string>& names) {
    std::vector<std::u16string> keep;
    keep.reserve(names.size());
    for (const std::string& name : names) {
        keep.push_back(ProjectTableName(session.Project(), name));
    }
    std::vector<std::u16string> load;
    std::vector<std::u16string> unload;
    for (QelTable& table : *session.Project().db()->tables()) {
        const bool wanted = std::find(keep.begin(), keep.end(), table.TblName()) != keep.end();
        if (wanted && !table.TblLoaded()) {
            load.push_back(table.TblName());
        } else if (!wanted && table.TblLoaded()) {
            unload.push_back(table.TblName());
        }
    }
    for (const std::u16string& name : load) {
        session.Project().LoadTable(Variant(name));
        session.ThrowIfFailed();
    }
    for (const std::u16string& name : unload) {
        session.Project().UnLoadTable(Variant(name));
        session.ThrowIfFailed();
    }
}

/// Holds the host's messages while it lives, and prints them when it goes unless dropped.
class HeldMessages {
public:
    explicit HeldMessages(CommandHost& host) : mHost(host) { mHost.HoldMessages(); }
    ~HeldMessages() { mHost.ReleaseMessages(); }
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    void Drop() { mHost.DropMessages(); }

private:
    CommandHost& mHost;
};

/// One --map entry: OLD=NEW for a table, view or field of any table, TABLE.OLD=TABLE.NEW for
/// a field of one table.
RenameAnswer ParseRename(const std::string& entry) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == entry.size() ||
        entry.find('=', equals + 1) != std::string::npos) {
        UsageError("sync", "--map takes OLD=NEW or TABLE.OLD=TABLE.NEW, not '" + entry + "'");
    }
    std::string from = entry.substr(0, equals);
    std::string to = entry.substr(equals + 1);
    const std::size_t fromDot = from.find('.');
    const std::size_t toDot = to.find('.');
    if (fromDot == std::string::npos && toDot == std::string::npos) {
        return {std::nullopt, Utf16(from), Utf16(to), entry};
    }
    if (fromDot == std::string::npos || toDot == std::string::npos || fromDot == 0 || toDot == 0 ||
        fromDot + 1 == from.size() || toDot + 1 == to.size()) {
        UsageError("sync", "--map takes OLD=NEW or TABLE.OLD=TABLE.NEW, not '" + entry + "'");
    }
    const std::string table = from.substr(0, fromDot);
    if (!automation::EqualsNoCase(Utf16(table), Utf16(to.substr(0, toDot)))) {
        UsageError("sync", "a field stays in its table: --map TABLE.OLD=TABLE.NEW, not '" + entry + "'");
    }
    return {Utf16(table), Utf16(from.substr(fromDot + 1)), Utf16(to.substr(toDot + 1)), entry};
}

/// A reason of the library's as one line of a listing: without the product's name before it, each
/// run of blanks and line breaks (a driver's list of errors) one space.
std::string ListedReason(std::u16string_view reason) {
    constexpr std::string_view Prefix = "quorvane: ";
    const std::string text = ProgramMessage(reason).substr(Prefix.size());
    std::string line;
    for (const char unit : text) {
        const bool blank = unit == ' ' || unit == '\t' || unit == '\r' || unit == '\n';
        if (!blank) {
            line += unit;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    if (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

/// Whether the project already has the rename: the new name there and the old one gone.
bool AlreadyRenamed(Qel& project, const RenameAnswer& rename) {
    const automation::Ref<QelDatabase> database = project.db();
    if (!database) {
        return false;
    }
    QelTables& tables = *database->tables();
    const auto fieldRenamed = [&](QelTable& table) {
        return table.Fields()->Find(rename.to) != nullptr && table.Fields()->Find(rename.from) == nullptr;
    };
    if (rename.table) {
        QelTable* table = tables.Find(*rename.table);
        return table != nullptr && fieldRenamed(*table);
    }
    if (tables.Find(rename.to) != nullptr && tables.Find(rename.from) == nullptr) {
        return true;
    }
    return std::any_of(tables.begin(), tables.end(), fieldRenamed);
}

} // namespace

fs::path DefaultSiteFolder(const fs::path& projectFile) {
    fs::path site = projectFile;
    // Shortened as the project's own lock and backup names are, where the name would pass what
    // the file system takes; a name that fits stays as it always was.
    site.replace_filename(system::FitFileName("", projectFile.stem().string(), "-site"));
    return site;
}

void NewCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("new", arguments,
                           {{"sqlite"},
                            {"odbc"},
                            {"connection-string"},
                            {"access"},
                            {"user"},
                            {"password"},
                            {"schema"},
                            {"tables"}});
    if (PrintHelp(line, "new", out)) {
        return;
    }
    line.ExpectPositional(1, 1, "PROJECT.xml");
    const fs::path file = line.Positional()[0];
    std::error_code error;
    if (fs::exists(file, error)) {
        throw CommandError("quorvane: new: " + file.string() + " already exists; it is left as it is");
    }
    CommandAnswers answers;
    if (std::optional<std::string> schema = line.Value("schema")) {
        answers.schema = Utf16(*schema);
    }
    Session session(std::move(answers));
    Qel& project = session.Project();
    project.AddProj(Utf16(file.stem().string()));
    const std::optional<std::string> tables = line.Value("tables");
    if (tables) {
        // Only the tables named must read: another that cannot (a view whose table was dropped)
        // stays unloaded, and the load says so, instead of failing the new project.
        std::vector<std::u16string>& needed = CurrentLoadSettings().neededTables.emplace();
        for (const std::string& name : SplitList(*tables)) {
            needed.push_back(Utf16(name));
        }
    }
    LoadDatabase(session, line);
    CurrentLoadSettings().neededTables.reset();
    if (tables) {
        KeepTables(session, SplitList(*tables));
    }
    if (project.Destination().empty()) {
        project.SetDestination(LibraryPath(DefaultSiteFolder(file)));
    }
    if (project.AppRootFolder().empty()) {
        project.SetAppRootFolder(project.Destination());
    }
    session.Save(file);
    out << "Created " << file.string() << ": " << project.db()->tables()->Count() << " tables and views, "
        << LoadedTableCount(project) << " loaded; site folder " << Utf8(project.Destination()) << "\n";
}

void ShowCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("show", arguments, {});
    if (PrintHelp(line, "show", out)) {
        return;
    }
    line.ExpectPositional(1, 2, "PROJECT.xml");
    Session session(CommandAnswers{}, LoadCheckKind::SettingsOnly);
    session.Load(line.Positional()[0]);
    const SettingTarget target =
        FindTarget(session.Project(), line.Positional().size() > 1 ? line.Positional()[1] : "");
    for (const auto& [name, value] : ListSettings(target)) {
        out << Utf8(name) << " = " << Utf8(EscapeValue(value)) << "\n";
    }
}

void SetCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("set", arguments, {});
    if (PrintHelp(line, "set", out)) {
        return;
    }
    line.ExpectPositional(2, -1, "PROJECT.xml and NAME=VALUE");
    const auto [targetName, assignments] = SplitTarget(line.Positional());
    if (assignments.empty()) {
        UsageError("set", "missing NAME=VALUE");
    }
    const fs::path file = line.Positional()[0];
    Session session(CommandAnswers{}, LoadCheckKind::SettingsOnly);
    const ProjectFileLock lock = session.Lock(file);
    session.Load(file);
    const SettingTarget target = FindTarget(session.Project(), targetName);
    // Everything is checked before anything changes, so a wrong setting saves nothing.
    std::vector<SettingAssignment> prepared;
    for (const std::string& assignment : assignments) {
        prepared.push_back(PrepareAssignment(target, assignment));
    }
    const auto assigns = [&](std::u16string_view name) {
        return std::any_of(prepared.begin(), prepared.end(),
                           [&](const SettingAssignment& assignment) { return assignment.name == name; });
    };
    // As with generate --destination: the application root moves with the site when the two
    // were one, unless the same command sets it too.
    const bool isProject = target.entity.Get() == &session.Project();
    const bool rootFollows = isProject && assigns(u"Destination") && !assigns(u"AppRootFolder") &&
                             RootFollowsDestination(session.Project());
    session.Guard([&] {
        for (const SettingAssignment& assignment : prepared) {
            ApplyAssignment(assignment);
        }
        if (rootFollows) {
            session.Project().SetAppRootFolder(session.Project().Destination());
        }
    });
    session.Save(file);
    out << "Saved " << file.string() << ": " << prepared.size()
        << (prepared.size() == 1 ? " setting" : " settings") << " of " << target.description << "\n";
}

void LoadTableCommand(const std::vector<std::string>& arguments, std::ostream& out, bool load) {
    const std::string command = load ? "load-table" : "unload-table";
    const CommandLine line(command, arguments, {});
    if (PrintHelp(line, command, out)) {
        return;
    }
    line.ExpectPositional(2, -1, "PROJECT.xml and TABLE");
    const fs::path file = line.Positional()[0];
    // Taking fields out needs no database; loading them reads it anyway.
    Session session(CommandAnswers{}, load ? LoadCheckKind::Synchronize : LoadCheckKind::SettingsOnly);
    const ProjectFileLock lock = session.Lock(file);
    session.Load(file);
    LoadTables(session, {line.Positional().begin() + 1, line.Positional().end()}, load);
    session.Save(file);
    out << "Saved " << file.string() << ": " << LoadedTableCount(session.Project()) << " tables loaded\n";
}

void GenCheckCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("gencheck", arguments, {});
    if (PrintHelp(line, "gencheck", out)) {
        return;
    }
    line.ExpectPositional(1, 1, "PROJECT.xml");
    Session session(CommandAnswers{});
    session.Load(line.Positional()[0]);
    const std::int16_t count = session.Guard([&] { return session.Project().GenCheck(); });
    session.ThrowIfFailed();
    // The library's count stops at the first table whose pages already exist: it says whether
    // a run would meet existing files, not how many.
    out << count << " existing output files found (the check stops at the first table that has any; 0: "
        << "generating writes only new files)\n";
}

void CheckCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("check", arguments, {});
    if (PrintHelp(line, "check", out)) {
        return;
    }
    line.ExpectPositional(1, 1, "PROJECT.xml");
    Session session(CommandAnswers{});
    session.Load(line.Positional()[0]);
    // The schema layer's own check, which describes each difference it counts and names the
    // master/detail pairs a sync would take away with them.
    std::vector<SchemaDifference> differences;
    std::vector<PairToRemove> pairs;
    std::vector<SchemaDifference> notCompared;
    const std::int16_t count = session.Guard([&] {
        return session.Project().db()
                   ? SchemaCheck(session.Project(), &differences, &pairs, &notCompared).CheckDB()
                   : session.Project().CheckDB();
    });
    session.ThrowIfFailed();
    for (const SchemaDifference& difference : differences) {
        out << Utf8(difference.table) << (difference.field.empty() ? "" : "." + Utf8(difference.field))
            << ": " << Utf8(difference.what) << "\n";
    }
    for (const PairToRemove& pair : pairs) {
        out << Utf8(pair.master) << "/" << Utf8(pair.detail)
            << ": master/detail pair that a sync removes: " << Utf8(pair.why) << "\n";
    }
    for (const SchemaDifference& unread : notCompared) {
        const QelTable* table = session.Project().db()->tables()->Find(unread.table);
        out << Utf8(unread.table) << ": "
            << (table != nullptr && table->TblType() == u"REPORT" ? "report" : "custom view")
            << " not compared with the database: " << ListedReason(unread.what) << "\n";
    }
    out << count << "\n";
}

void SyncCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("sync", arguments, {{"map", true, true}, {"keys"}, {"yes", false}});
    if (PrintHelp(line, "sync", out)) {
        return;
    }
    line.ExpectPositional(1, 1, "PROJECT.xml");
    CommandAnswers answers;
    answers.yes = line.Has("yes");
    if (std::optional<std::string> keys = line.Choice("keys", {"keep", "update"})) {
        answers.keys = *keys == "keep" ? host::SyncChoice::Keep : host::SyncChoice::Update;
    }
    if (line.Has("map")) {
        answers.renames.emplace();
        for (const std::string& option : line.Values("map")) {
            for (const std::string& entry : SplitList(option)) {
                answers.renames->push_back(ParseRename(entry));
            }
        }
    }
    const std::vector<RenameAnswer> renames = answers.renames.value_or(std::vector<RenameAnswer>());
    const fs::path file = line.Positional()[0];
    Session session(std::move(answers));
    const ProjectFileLock lock = session.Lock(file);
    // What the synchronisation says it did is said only once the command keeps it.
    HeldMessages held(session.Host());
    session.Load(file);
    // A rename an earlier sync already took into the project is no mistake when given again.
    std::vector<bool> done;
    done.reserve(renames.size());
    for (const RenameAnswer& rename : renames) {
        done.push_back(AlreadyRenamed(session.Project(), rename));
    }
    session.Project().SynchronizeDB();
    session.ThrowIfFailed();
    // Any other mapping that matched nothing is most likely mistyped: saving would drop the old
    // object's settings that the user meant to keep.
    std::string unmatched;
    std::size_t unmatchedCount = 0;
    for (const std::size_t index : session.Host().UnusedRenames()) {
        if (!done[index]) {
            unmatched += (unmatched.empty() ? "" : ", ") + renames[index].text;
            ++unmatchedCount;
        }
    }
    if (unmatchedCount > 0) {
        held.Drop();
        throw CommandError("quorvane: sync: --map " + unmatched +
                           (unmatchedCount == 1 ? " matches" : " match") +
                           " no renamed table, view or field (the old name must have vanished from the "
                           "database and the new one appeared); the project is left as it was: nothing "
                           "was synchronised or saved ('quorvane check' lists what differs)");
    }
    session.Save(file);
    out << "Saved " << file.string() << ": " << LoadedTableCount(session.Project()) << " tables loaded\n";
}

int RunProgram(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    try {
        if (arguments.empty() || arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "help") {
            out << HelpText("");
            return arguments.empty() ? 2 : 0;
        }
        if (arguments[0] == "--version") {
            const Session session(CommandAnswers{}, LoadCheckKind::SettingsOnly);
            out << "quorvane " << Utf8(session.Project().DllVersion()) << "\n";
            return 0;
        }
        const std::string& command = arguments[0];
        const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
        if (command == "new") {
            NewCommand(rest, out);
        } else if (command == "show") {
            ShowCommand(rest, out);
        } else if (command == "set") {
            SetCommand(rest, out);
        } else if (command == "load-table" || command == "unload-table") {
            LoadTableCommand(rest, out, command == "load-table");
        } else if (command == "generate") {
            GenerateCommand(rest, out);
        } else if (command == "gencheck") {
            GenCheckCommand(rest, out);
        } else if (command == "check") {
            CheckCommand(rest, out);
        } else if (command == "sync") {
            SyncCommand(rest, out);
        } else if (command == "demo") {
            DemoCommand(rest, out);
        } else {
            throw CommandError("quorvane: unknown command '" + command + "'\nTry 'quorvane --help'.", 2);
        }
        out.flush();
        return 0;
    } catch (const CommandError& error) {
        out.flush();
        err << error.what() << "\n";
        return error.Status();
    } catch (const automation::Error& error) {
        out.flush();
        err << ProgramMessage(error.Description()) << "\n";
        return 1;
    }
}

} // namespace qv::cli
