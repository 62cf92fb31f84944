#include "Commands.h"

#include <map>

namespace qv::cli {

namespace {

constexpr const char* Environment = R"(
Environment:
  QUORVANE_USER_HIVE      the user's settings file (default $XDG_CONFIG_HOME/quorvane/user.reg,
                          ~/.config/quorvane/user.reg without XDG_CONFIG_HOME)
  QUORVANE_MACHINE_HIVE   the defaults for every user (default ../share/quorvane/machine.reg
                          beside the program)
  QUORVANE_DOCUMENTS      the documents folder that holds the Quorvane work folders (extracted
                          templates, prepared scripts, backups)
  QUORVANE_ANSI_CODEPAGE  the ANSI code page of files not written as UTF-8 (default 1252)
  QUORVANE_OEM_CODEPAGE   the OEM code page (default 437)
)";

// The longest text, kept apart so that the table below reads as a list of commands.
constexpr const char* GenerateText = R"(Usage: quorvane generate PROJECT.xml [OPTIONS]

Generates the project's site from its template package into its destination folder. Outputs
that would come out exactly as they are in the destination are neither asked about nor
written again, so a second run with nothing changed writes nothing. The options apply to this
run only; the project file is not changed.

The summary counts every output once: new, replaced, left as they were (they came out the
same), kept although changed (by --overwrite or an answer), not rebuilt: the pages of a
table whose TblOverwrite is False, and other outputs while OtherOverwrite is False, are not
built at all (not even --overwrite all replaces them), so whether they would change is unknown;
and could not be written: outputs that would change but could not be backed up and replaced
(a read-only or full disk, a link in the way). Each is reported, and any makes the exit status
non-zero.

With a login set (SecType Static or Dynamic), a changed page not written by a run under the
same login settings may serve visitors who have not logged in or show the user's password: it is
built even where TblOverwrite or OtherOverwrite is False, and without a terminal 'ask'
replaces it (kept as PAGE.bak, or PAGE.2.bak... beside earlier backups). One kept by --overwrite
none, an answer or a switch (also OtherGen, TblGen, FldGenerate) is named; the exit status is 1.

  --template ZIP             the template package (default: the project's Template)
  --destination DIR          the site folder (default: the project's Destination)
  --overwrite all|none|ask   an existing output that would change: replace it, keep it, or ask
                             (default: ask when the project's PromptOnOverwrite is True,
                             else replace). Without a terminal, 'ask' keeps the file,
                             but for a page a login needs replaced (see above).
  --template-folder keep|replace
                             when the package differs from the extracted template folder:
                             keep the extracted files or extract the package again (default:
                             ask on a terminal, else extract again, as the question's dialog
                             closed without an answer does)
)";

const std::map<std::string, std::string>& Texts() {
    static const std::map<std::string, std::string> texts = {
        {"", R"(Usage: quorvane COMMAND [ARGUMENTS]

Generates a database web application (ASP pages in VBScript) from a database schema and a
template package. A project file (XML) holds the schema and every setting.

Commands:
  new PROJECT.xml SOURCE [--tables NAME,...]   create a project from a database
  show PROJECT.xml [TABLE | TABLE.FIELD]       list settings, one "Name = value" a line
  set PROJECT.xml [TABLE | TABLE.FIELD] NAME=VALUE...   change settings and save
  load-table PROJECT.xml TABLE...              load the fields of tables, and save
  unload-table PROJECT.xml TABLE...            take tables' fields out, and save
  generate PROJECT.xml [OPTIONS]               generate the site
  gencheck PROJECT.xml                         whether generating would replace a file
  check PROJECT.xml                            count differences from the database
  sync PROJECT.xml [OPTIONS]                   bring the project in step with the database
  demo [DIR]                                   generate the bundled shop demo into DIR
  --version                                    print the library's version

'quorvane COMMAND --help' describes a command. Exit status is 0 on success; on failure it is
non-zero and the reason is written to standard error, each message starting "quorvane: ".
When the project's AutoSync is True, generate, gencheck, check, sync and load-table compare it
with its database as they load it; show, set and unload-table never reach the database.
)"},
        {"new", R"(Usage: quorvane new PROJECT.xml SOURCE [--schema NAME] [--tables NAME,...]

Creates a project from a database and saves it as PROJECT.xml (which must not exist yet). The
project is named after the file; its site goes to the folder PROJECT-site beside it until
'set PROJECT.xml Destination=DIR' says otherwise.

SOURCE is one of:
  --sqlite FILE                      an SQLite database file (it must exist)
  --odbc DSN [--user U --password P] an ODBC data source
  --connection-string TEXT           an ODBC connection string
  --access FILE [--password P]       an Access database (.mdb, .accdb)

  --schema NAME       the schema (owner) whose tables to load, where the database asks for one
  --tables NAME,...   keep only these tables' fields loaded (the others stay in the project,
                      unloaded and not generated); of two tables whose names differ only in
                      letter case, the one named exactly is kept (the first named, if both are)
)"},
        {"show", R"(Usage: quorvane show PROJECT.xml [TABLE | TABLE.FIELD]

Lists the settings of the project, of a table or of a field, one "Name = value" a line, in the
order the project file keeps them. The project's settings are followed by its database's
(DBConnstr, DBUID, DBPwd, DBSchema, ...). A password that is set is shown as ********: DBPwd,
SecPasswd, SMTPServerPassword, and the PWD or Password of a connection string, also of one
that a value in it holds (Extended Properties), whose other attributes are shown as they are
kept. The project file keeps them as they were given. A backslash, carriage return, line feed
and tab in a value are written \\, \r, \n and \t. The project is loaded without comparing it
with its database (even when its AutoSync is True), so this works while the database is down.
)"},
        {"set", R"(Usage: quorvane set PROJECT.xml [TABLE | TABLE.FIELD] NAME=VALUE...

Changes settings of the project, a table or a field and saves the project file. The
database's settings (DBConnstr, DBUID, DBPwd, DBSchema, ...) are set as the project's own.
Boolean settings take True or False, number settings whole numbers; \\, \r, \n and \t in a
value stand for a backslash, carriage return, line feed and tab. An unknown setting, a value
of the wrong kind, or a setting the library works out itself and keeps no value given to
(ProjVar, TblVar, TblKey, FldVar, DBQuoteS, FldQuoteS, TblLoaded, ...) changes nothing and
saves nothing. So does a new TblName or FldName that is empty or that another table, or another
field of the table, bears in any letter case (a table's or field's own name in another letter
case is a rename like any other).
Setting Destination moves AppRootFolder along when the two were the same folder. The project
is loaded without comparing it with its database (even when its AutoSync is True), so this
works while the database is down.
)"},
        {"load-table", R"(Usage: quorvane load-table PROJECT.xml TABLE...

Loads the fields of tables whose names the project has but whose fields are not loaded (a
project made with DynamicLoadDB, or with new --tables), from the project's database, and
saves the project file. A TABLE is found as show and set find it, in any letter case.
)"},
        {"unload-table", R"(Usage: quorvane unload-table PROJECT.xml TABLE...

Takes the fields of loaded tables out of the project (they are then not generated) and saves
the project file. A TABLE is found as show and set find it, in any letter case. The project is
loaded without comparing it with its database.
)"},
        {"generate", GenerateText},
        {"gencheck", R"(Usage: quorvane gencheck PROJECT.xml

Runs the generation without writing anything and prints the number of output files it found
already in the destination. The count stops at the first table whose pages exist, so it says
whether generating would meet existing files (above 0) or write only new ones (0), not how many.
)"},
        {"check", R"(Usage: quorvane check PROJECT.xml

Compares the project with its live database: lists each difference, one a line (table, field
where one is concerned, and what differs), then each master/detail pair that a sync without
--map would remove (MASTER/DETAIL and why), then each custom view or report that could not be
compared (its SQL refused or failing, its source table gone) and why, then prints the number of
differences. Those not compared are not counted: a sync cannot bring them in step.
)"},
        {"sync", R"(Usage: quorvane sync PROJECT.xml [--map OLD=NEW...] [--keys keep|update] [--yes]

Brings the project in step with its live database and saves it: new tables and fields are
added, vanished ones removed, settings of those that stay are kept. A master/detail pair left
naming a table or field that is gone is removed, and named on standard error; so is a custom view
or report that could not be read (it is kept as it was) or that a new table or view of its name
replaces.

  --map OLD=NEW      a table, view or field renamed in the database from OLD to NEW keeps its
                     settings (repeat the option, or separate pairs by commas); without it the
                     renames are asked on a terminal, and otherwise nothing is renamed
  --map TABLE.OLD=TABLE.NEW
                     a field renamed in one table only; OLD=NEW renames a field of that name
                     in every table. An entry that matches nothing stops the sync before
                     anything is saved, and is named.
  --keys keep|update a changed primary key: keep the project's or take the database's
                     (default: ask on a terminal, else take the database's, as the question's
                     dialog closed without an answer does). A renamed key field stays the key.
  --yes              answer yes to every yes/no question
)"},
        {"demo", R"(Usage: quorvane demo [DIR]

Creates a project from the bundled SQLite database (a small shop), saves it as DIR.xml beside
DIR, and generates its site into DIR (default ./demo-site) with the bundled template package.
Asks nothing: outputs that changed are replaced.
)"},
    };
    return texts;
}

} // namespace

std::string HelpText(const std::string& command) {
    const auto& texts = Texts();
    const auto found = texts.find(command);
    if (found == texts.end()) {
        return texts.at("");
    }
    return found->second + Environment;
}

} // namespace qv::cli
