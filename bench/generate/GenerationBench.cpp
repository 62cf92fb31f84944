// Generating a site from a template package over SQLite databases of 1,000 and 2,000 tables, both
// written by the benchmark, through the project object as the host drives it. Prints ratios:
//   - the pipeline's own time (the run less the time inside the page engine, which adds and runs
//     the page functions) over the page engine's time; the goal is at most 0.5;
//   - a run over 2,000 tables over a run over 1,000 (the goal is at most 2.2: a run must grow
//     linearly with the project), for the whole run and for the pipeline's part.
// Every run after the first changes no input, so it must prepare no script again: checked. The
// timed runs change no page either (pages whose text is unchanged are not rewritten); runs that
// rewrite every page and the first run are reported apart.
//
//   generation_bench [tables] [repetitions]
//
// Each figure is the median of the repetitions, after the first (cold) run; the two projects
// take turns.

#include "generate/Generator.h"

#include "project/Qel.h"

#include "core/Apartment.h"
#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/host/HeadlessHost.h"
#include "platform/registry/Registry.h"
#include "platform/registry/Value.h"
#include "platform/system/Paths.h"

#include <sqlite3.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qv::automation::Variant;
using Clock = std::chrono::steady_clock;

constexpr std::u16string_view GeneralKey = u"Software\\Quorvane\\6.0\\Settings\\General";

/// A shop-like schema repeated: each table has a key, texts, numbers, a date and a memo.
void CreateDatabase(const fs::path& file, int tables) {
    fs::remove(file);
    sqlite3* database = nullptr;
    if (sqlite3_open(file.c_str(), &database) != SQLITE_OK) {
        throw std::runtime_error("cannot create " + file.string());
    }
    std::string sql = "BEGIN;";
    for (int table = 0; table < tables; ++table) {
        const std::string name = "item_" + std::to_string(table);
        sql += "CREATE TABLE " + name +
               " (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(60) NOT NULL, code CHAR(8) UNIQUE, "
               "price DECIMAL(10,2), quantity INTEGER, created TIMESTAMP, active BOOLEAN NOT NULL, "
               "notes TEXT);";
    }
    sql += "COMMIT;";
    char* message = nullptr;
    const int result = sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &message);
    const std::string reason = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(database);
    if (result != SQLITE_OK) {
        throw std::runtime_error("cannot fill " + file.string() + ": " + reason);
    }
}

/// The template: three table pages (a list, a record view, an edit form built from sessions and
/// an include), a page per generated field, a home page with a menu of every table, a
/// configuration file and an image copied as it is.
const std::map<std::string, std::string>& TemplateMembers() {
    static const std::map<std::string, std::string> members = {
        {"control.xml",
         "<?xml version=\"1.0\"?>\r\n"
         "<Quorvane_Template date=\"2024/05/01\" version=\"6.0\" desc=\"Bench\" author=\"Bench\">\r\n"
         "  <control id=\"list\" type=\"table\" ifiles=\"list.htm\" ofile=\"list\" oext=\"*\"/>\r\n"
         "  <control id=\"view\" type=\"table\" ifiles=\"view.htm\" ofile=\"view\" oext=\"*\"/>\r\n"
         "  <control id=\"edit\" type=\"table\" ifiles=\"edit.htm\" ofile=\"edit\" oext=\"*\">\r\n"
         "    <session value=\"header\" type=\"key\"/>\r\n"
         "    <session value=\"form\" type=\"key\"/>\r\n"
         "    <session value=\"footer\" type=\"key\" ifile=\"common.htm\"/>\r\n"
         "  </control>\r\n"
         "  <control id=\"field\" type=\"field\" ifiles=\"field.htm\" ofile=\"field\" oext=\"asp\" "
         "ofolder=\"fields\"/>\r\n"
         "  <control id=\"home\" type=\"other\" ifiles=\"home.htm\" ofile=\"default\" oext=\"*\"/>\r\n"
         "  <control id=\"config\" type=\"simple\" ifiles=\"config.htm\" ofile=\"web\" oext=\"config\" "
         "space=\"false\"/>\r\n"
         "  <control id=\"images\" type=\"copy\" ifiles=\"images/logo.gif\"/>\r\n"
         "</Quorvane_Template>\r\n"},
        {"lang.xml", "<?xml version=\"1.0\"?>\r\n<Quorvane.language>\r\n"
                     "  <phrase id=\"Edit\" value=\"Edit\"/>\r\n  <phrase id=\"Save\" value=\"Save\"/>\r\n"
                     "</Quorvane.language>\r\n"},
        {"list.htm",
         "<%@ Language=VBScript %>\r\n"
         "<!--#include file=\"db.asp\"-->\r\n"
         "<!--##\r\n"
         "Dim f, sep, cols\r\n"
         "sep = \"\"\r\n"
         "cols = \"\"\r\n"
         "For Each f In TABLE.Fields\r\n"
         "  If f.FldList Then\r\n"
         "    cols = cols & sep & \"[\" & f.FldName & \"]\"\r\n"
         "    sep = \", \"\r\n"
         "  End If\r\n"
         "Next\r\n"
         "##-->\r\n"
         "<%\r\n"
         "Dim rs, sSql\r\n"
         "sSql = \"SELECT <!--##=cols##--> FROM [<!--##=TABLE.TblName##-->]\"\r\n"
         "Set rs = Server.CreateObject(\"ADODB.Recordset\")\r\n"
         "rs.Open sSql, conn\r\n"
         "%>\r\n"
         "<html><head><title><!--##=PROJ.ProjName##--> - <!--##=TABLE.TblCaption##--></title></head>\r\n"
         "<body>\r\n"
         "<h2><!--##=TABLE.TblCaption##--></h2>\r\n"
         "<table class=\"grid\">\r\n<tr>\r\n"
         "<!--##\r\nFor Each f In TABLE.Fields\r\n  If f.FldList Then\r\n##-->\r\n"
         "  <th><!--##=f.FldCaption##--></th>\r\n"
         "<!--##\r\n  End If\r\nNext\r\n##-->\r\n"
         "</tr>\r\n<% Do While Not rs.EOF %>\r\n<tr>\r\n"
         "<!--##\r\nFor Each f In TABLE.Fields\r\n  If f.FldList Then\r\n##-->\r\n"
         "  <td><%= Server.HTMLEncode(rs(\"<!--##=f.FldName##-->\") & \"\") %></td>\r\n"
         "<!--##\r\n  End If\r\nNext\r\n##-->\r\n"
         "</tr>\r\n<% rs.MoveNext\r\nLoop\r\nrs.Close %>\r\n</table>\r\n</body></html>\r\n"},
        {"view.htm", "<%@ Language=VBScript %>\r\n"
                     "<!--#include file=\"db.asp\"-->\r\n"
                     "<!--##\r\n"
                     "Dim f, keyName\r\n"
                     "keyName = \"\"\r\n"
                     "For Each f In TABLE.Fields\r\n"
                     "  If f.FldIsPrimaryKey Then keyName = f.FldName\r\n"
                     "Next\r\n"
                     "##-->\r\n"
                     "<%\r\n"
                     "Dim rs\r\n"
                     "Set rs = conn.Execute(\"SELECT * FROM [<!--##=TABLE.TblName##-->] WHERE "
                     "[<!--##=keyName##-->] = \" & "
                     "CLng(Request.QueryString(\"<!--##=keyName##-->\")))\r\n"
                     "%>\r\n"
                     "<html><body><h2><!--##=TABLE.TblCaption##--></h2>\r\n<table>\r\n"
                     "<!--##\r\nFor Each f In TABLE.Fields\r\n  If f.FldView Then\r\n##-->\r\n"
                     "<tr><td class=\"caption\"><!--##=f.FldCaption##--></td>"
                     "<td><%= rs(\"<!--##=f.FldName##-->\") %></td></tr>\r\n"
                     "<!--##\r\n  End If\r\nNext\r\n##-->\r\n"
                     "</table>\r\n</body></html>\r\n"},
        {"edit.htm",
         "<!--##session header##-->\r\n"
         "<%@ Language=VBScript %>\r\n"
         "<!--##include common.htm/top##-->\r\n"
         "<h2><!--##=LANG.Phrase(\"Edit\")##--> <!--##=TABLE.TblCaption##--></h2>\r\n"
         "<!--##/session##-->\r\n"
         "<!--##session form##-->\r\n"
         "<form method=\"post\" action=\"<!--##=TABLE.TblVar##-->edit.asp\">\r\n"
         "<!--##\r\n"
         "Dim f\r\n"
         "For Each f In TABLE.Fields\r\n"
         "  If f.FldEdit And Not f.FldIsPrimaryKey Then\r\n"
         "##-->\r\n"
         "<p><label><!--##=f.FldCaption##--><!--## If f.FldReq Then ##--> *<!--## End If ##--></label>\r\n"
         "<input name=\"x_<!--##=f.FldVar##-->\" value=\"<%= Server.HTMLEncode(x_<!--##=f.FldVar##--> & "
         "\"\") %>\""
         "></p>\r\n"
         "<!--##\r\n"
         "  End If\r\n"
         "Next\r\n"
         "##-->\r\n"
         "<input type=\"submit\" value=\"<!--##=LANG.Phrase(\"Save\")##-->\">\r\n"
         "</form>\r\n"
         "<!--##/session##-->\r\n"},
        {"common.htm", "<!--##session top##-->\r\n<!--#include file=\"db.asp\"-->\r\n"
                       "<html><head><title><!--##=PROJ.ProjName##--></title></head><body>\r\n"
                       "<!--##/session##-->\r\n"
                       "<!--##session footer##-->\r\n<p class=\"footer\"><!--##=PROJ.ProjName##--></p>\r\n"
                       "</body></html>\r\n<!--##/session##-->\r\n"},
        {"field.htm",
         "<%@ Language=VBScript %>\r\n"
         "<!-- <!--##=PROJ.ProjName##-->: <!--##=TABLE.TblName##-->.<!--##=FIELD.FldName##--> -->\r\n"
         "<%\r\n"
         "Dim v\r\n"
         "v = Request.Form(\"<!--##=FIELD.FldName##-->\")\r\n"
         "<!--## If FIELD.FldReq Then ##-->If v = \"\" Then Response.Write \"Required\"\r\n"
         "<!--## End If ##-->"
         "Response.Write Server.HTMLEncode(v)\r\n%>\r\n"},
        {"home.htm", "<html><body><h1><!--##=PROJ.ProjName##--></h1>\r\n<ul>\r\n"
                     "<!--##\r\nDim t\r\nFor Each t In DB.Tables\r\n  If t.TblGen Then\r\n##-->\r\n"
                     "<li><a href=\"<!--##=t.TblVar##-->list.asp\"><!--##=t.TblCaption##--></a></li>\r\n"
                     "<!--##\r\n  End If\r\nNext\r\n##-->\r\n</ul>\r\n</body></html>\r\n"},
        {"config.htm", "<configuration>\r\n  <appSettings>\r\n"
                       "    <add key=\"project\" value=\"<!--##=PROJ.ProjName##-->\"/>\r\n"
                       "  </appSettings>\r\n</configuration>\r\n"},
        {"images/logo.gif", "GIF89a"},
    };
    return members;
}

void WritePackage(const fs::path& package) {
    fs::create_directories(package.parent_path());
    int code = 0;
    zip_t* archive = zip_open(package.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive == nullptr) {
        throw std::runtime_error("cannot write " + package.string());
    }
    for (const auto& [name, content] : TemplateMembers()) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            throw std::runtime_error("cannot add " + name);
        }
    }
    if (zip_close(archive) != 0) {
        throw std::runtime_error("cannot close " + package.string());
    }
}

std::u16string Text(const fs::path& path) {
    return qv::system::FromNativePath(path);
}

/// A project over one database, set up as a user would before generating.
qv::automation::Ref<qv::Qel> MakeProject(const fs::path& database, const fs::path& package,
                                         const fs::path& site) {
    auto project = qv::automation::MakeRef<qv::Qel>();
    const std::u16string connection = u"Driver=SQLite3;Database=" + Text(database);
    qv::automation::CallByName(*project, u"LoadDB", qv::automation::InvokeKind::Method,
                               {Variant(u"shop"), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(),
                                Variant(false), Variant(u""), Variant(u""), Variant(connection),
                                Variant(u"")});
    if (!qv::State().gProjErr.empty()) {
        throw std::runtime_error("load failed: " + qv::automation::ToUtf8(qv::State().gProjErr));
    }
    project->SetProjName(u"Shop");
    project->SetTemplate(Text(package));
    project->SetDestination(Text(site));
    project->SetAppRootFolder(Text(site));
    project->SetOtherGen(true);
    project->SetOtherOverwrite(true);
    project->SetPromptOnOverwrite(false);
    project->SetOutputNameLCase(true);
    for (qv::QelTable& table : *project->db()->tables()) {
        table.SetTblOverwrite(true);
        for (qv::QelField& field : *table.Fields()) {
            field.SetFldGenerate(field.FldName() == u"name" || field.FldName() == u"notes");
        }
    }
    return project;
}

/// One run's figures, in seconds.
struct RunTimes {
    double total = 0;
    double engine = 0;
    double Pipeline() const { return total - engine; }
};

RunTimes Generate(qv::Qel& project, const qv::Generator& generator, bool expectPrepared) {
    const auto start = Clock::now();
    qv::automation::CallByName(project, u"GenScript", qv::automation::InvokeKind::Method, {});
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    if (!qv::State().gProjErr.empty()) {
        throw std::runtime_error("generation failed: " + qv::automation::ToUtf8(qv::State().gProjErr));
    }
    const qv::GenerationStatistics& run = generator.LastRun();
    if (run.pages == 0) {
        throw std::runtime_error("the run built no page");
    }
    // Nothing changed since the last run: every prepared script must be reused.
    if (!expectPrepared && run.preparedScripts != 0) {
        throw std::runtime_error("a run with nothing changed prepared " +
                                 std::to_string(run.preparedScripts) + " scripts again");
    }
    return {total, std::chrono::duration<double>(run.pageScriptTime).count()};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Series {
    std::vector<double> total, engine, pipeline;
    void Add(const RunTimes& times) {
        total.push_back(times.total);
        engine.push_back(times.engine);
        pipeline.push_back(times.Pipeline());
    }
};

} // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repetitions = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
    const fs::path folder = fs::temp_directory_path() / "qv-generation-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    // Registry values, work folders and the site: all of the bench's own, not the user's.
    setenv("QUORVANE_USER_HIVE", (folder / "user.reg").c_str(), 1);
    setenv("QUORVANE_MACHINE_HIVE", (folder / "machine.reg").c_str(), 1);
    setenv("QUORVANE_DOCUMENTS", (folder / "docs").c_str(), 1);

    qv::host::DefaultAnswers answers;
    answers.overwrite = {qv::host::OverwriteChoice::Overwrite, /*all=*/true};
    qv::host::HeadlessHost host(answers);
    try {
        qv::ResetApartment();
        qv::UseRegistry(
            std::make_unique<qv::registry::Registry>(folder / "user.reg", folder / "machine.reg"));
        qv::SetCurrentHost(&host);
        qv::registry::Registry& registry = qv::CurrentRegistry();
        registry.WriteValue(qv::registry::HiveKind::User, GeneralKey, u"Language",
                            qv::registry::Value::Text(u""));
        registry.WriteValue(qv::registry::HiveKind::User, GeneralKey, u"UTF8Project",
                            qv::registry::Value::Text(u"False"));
        registry.WriteValue(qv::registry::HiveKind::User, GeneralKey, u"ScriptEngineTimeout",
                            qv::registry::Value::Number(600000));
        qv::RegisterGenerator();
        const auto* generator = dynamic_cast<const qv::Generator*>(qv::FindGenerationService());
        if (generator == nullptr) {
            throw std::runtime_error("no generator registered");
        }

        const fs::path package = folder / "templates" / "bench.zip";
        WritePackage(package);
        CreateDatabase(folder / "small.db", tables);
        CreateDatabase(folder / "large.db", 2 * tables);
        auto small = MakeProject(folder / "small.db", package, folder / "site-small");
        auto large = MakeProject(folder / "large.db", package, folder / "site-large");

        // The first run extracts the package and prepares the scripts; it is reported apart.
        const RunTimes cold = Generate(*small, *generator, /*expectPrepared=*/true);
        const std::int32_t prepared = generator->LastRun().preparedScripts;
        const std::int32_t pages = generator->LastRun().pages;
        Generate(*large, *generator, /*expectPrepared=*/false);
        // The pages of the first runs reach the disk before anything is timed.
        ::sync();
        Series smallRuns, largeRuns;
        for (int round = 0; round < repetitions; ++round) {
            smallRuns.Add(Generate(*small, *generator, false));
            largeRuns.Add(Generate(*large, *generator, false));
        }
        // Runs that change every page (the project's name is on each): the pipeline then also
        // replaces every file.
        Series rewriteRuns;
        for (int round = 0; round < repetitions; ++round) {
            small->SetProjName(round % 2 == 0 ? u"Shop 2" : u"Shop");
            rewriteRuns.Add(Generate(*small, *generator, false));
        }
        const double engine = Median(smallRuns.engine);
        const double pipeline = Median(smallRuns.pipeline);
        std::printf("tables %d and %d, %d pages and %d prepared scripts per run over %d tables, "
                    "median of %d runs\n",
                    tables, 2 * tables, pages, prepared, tables, repetitions);
        std::printf("pipeline / page engine, %d tables:          %.2f (goal <= 0.5)\n", tables,
                    pipeline / engine);
        std::printf("pipeline / page engine, %d tables:          %.2f\n", 2 * tables,
                    Median(largeRuns.pipeline) / Median(largeRuns.engine));
        std::printf("pipeline / page engine, every page rewritten, %d tables: %.2f\n", tables,
                    Median(rewriteRuns.pipeline) / Median(rewriteRuns.engine));
        std::printf("pipeline / page engine, first run, %d tables: %.2f (extraction and preparation)\n",
                    tables, cold.Pipeline() / cold.engine);
        std::printf("run of %d tables / run of %d:             %.2f (goal <= 2.2)\n", 2 * tables, tables,
                    Median(largeRuns.total) / Median(smallRuns.total));
        std::printf("pipeline of %d tables / pipeline of %d:   %.2f\n", 2 * tables, tables,
                    Median(largeRuns.pipeline) / pipeline);
        std::printf("page engine of %d tables / of %d:         %.2f\n", 2 * tables, tables,
                    Median(largeRuns.engine) / engine);
        std::printf("unchanged runs prepared no script again: yes\n");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "generation_bench: %s\n", error.what());
        qv::SetCurrentHost(nullptr);
        return 1;
    }
    qv::ResetApartment();
    qv::SetCurrentHost(nullptr);
    fs::remove_all(folder);
    return 0;
}
