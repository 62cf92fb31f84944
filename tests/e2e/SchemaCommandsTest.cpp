// The commands that read the database's schema (new, check, sync, load-table) run as a user runs
// them, on an SQLite database built by the sqlite3 program, each run under the test's own hives
// and folders.

#include "ProgramTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

class SchemaCommandsTest : public ProgramTest {
protected:
    /// Runs SQL statements on the work folder's database.
    void Sqlite(const std::string& statements) {
        const RunResult result =
            RunProgram("/bin/sh", {"-c", "sqlite3 \"$0\" \"$1\"", "db.sqlite", statements}, {}, mWork);
        ASSERT_EQ(result.status, 0) << result.err;
    }

    /// Whether standard error names the view as left out: as the message, or in the list of one.
    static bool NamesLeftOutView(const RunResult& result, const std::string& view) {
        const std::string named = "Unable to read the view \"" + view + "\"!";
        return (result.err.find("quorvane: " + named) != std::string::npos ||
                result.err.find("\r\n\r\n" + named) != std::string::npos) &&
               result.err.find("It is left out and left as it is") != std::string::npos;
    }
};

// Regression: loading a table that had been dropped from the database since the project read it
// said "Saved p.xml: 1 tables loaded" and ended with 0.
TEST_F(SchemaCommandsTest, LoadingATableGoneFromTheDatabaseFailsAndSavesNothing) {
    Sqlite("CREATE TABLE kept (id INTEGER PRIMARY KEY, name TEXT);"
           "CREATE TABLE items (id INTEGER PRIMARY KEY, label TEXT);");
    Succeed({"new", "p.xml", "--sqlite", "db.sqlite", "--tables", "kept"});
    Sqlite("DROP TABLE items;");
    const std::string before = ReadBytes(mWork / "p.xml");

    const RunResult loaded = Quorvane({"load-table", "p.xml", "items"});
    EXPECT_EQ(loaded.status, 1) << loaded.out;
    EXPECT_NE(loaded.err.find("quorvane: Table items not found in the database!"), std::string::npos)
        << loaded.err;
    EXPECT_EQ(loaded.out.find("Saved"), std::string::npos) << loaded.out;
    EXPECT_EQ(ReadBytes(mWork / "p.xml"), before);
}

// Regression: load-table and unload-table took a table only by its exact name ("Table ITEMS not
// found!"), though show and set find it in any letter case.
TEST_F(SchemaCommandsTest, LoadAndUnloadTableFindTheTableInAnyLetterCase) {
    Sqlite("CREATE TABLE Items (id INTEGER PRIMARY KEY, label TEXT);");
    Succeed({"new", "p.xml", "--sqlite", "db.sqlite"});
    EXPECT_NE(Succeed({"unload-table", "p.xml", "ITEMS"}).out.find(": 0 tables loaded"), std::string::npos);
    EXPECT_NE(Succeed({"load-table", "p.xml", "items"}).out.find(": 1 tables loaded"), std::string::npos);
    EXPECT_NE(Succeed({"show", "p.xml", "Items.label"}).out.find("FldName = label\n"), std::string::npos);
}

// Regression: a view the project loads, broken since, stopped the comparison each command makes
// on loading the project, and the command said "The project's database could not be reached".
TEST_F(SchemaCommandsTest, ABrokenViewTheProjectLoadsIsNamedAsWhatStoppedTheComparison) {
    Sqlite("CREATE TABLE a (id INTEGER PRIMARY KEY); CREATE TABLE b (id INTEGER PRIMARY KEY);"
           "CREATE VIEW v AS SELECT id FROM b;");
    Succeed({"new", "p.xml", "--sqlite", "db.sqlite", "--tables", "b,v"});
    Sqlite("DROP TABLE b;");
    const RunResult stopped = Quorvane({"load-table", "p.xml", "a"});
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.err.find("could not be reached"), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("no such table"), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("The project's database was reached, but its view \"v\" could not be read"),
              std::string::npos)
        << stopped.err;
    // Regression: the view's text came twice, the first time ending in "..".
    EXPECT_EQ(stopped.err.find("no such table"), stopped.err.rfind("no such table")) << stopped.err;
    EXPECT_EQ(stopped.err.find("it.."), std::string::npos) << stopped.err;
    EXPECT_NE(stopped.err.find("grant the right to read it. Please check if correct database is in use.\n"),
              std::string::npos)
        << stopped.err;
    // Taken out as the message says, the view no longer stops it.
    Succeed({"unload-table", "p.xml", "v"});
    EXPECT_NE(Succeed({"load-table", "p.xml", "a"}).out.find(": 2 tables loaded"), std::string::npos);
}

// Regression: "new --tables a,c" failed for a view it was never asked for, whose table had been
// dropped; check and sync failed alike for such a view that the project does not load.
TEST_F(SchemaCommandsTest, ABrokenViewOutsideWhatACommandReadsIsNamedAndLeftAsItIs) {
    Sqlite("CREATE TABLE a (id INTEGER PRIMARY KEY, name TEXT);"
           "CREATE TABLE b (id INTEGER PRIMARY KEY);"
           "CREATE TABLE c (id INTEGER PRIMARY KEY, note TEXT);"
           "CREATE VIEW v AS SELECT id FROM b;"
           "DROP TABLE b;");
    const RunResult created = Succeed({"new", "p.xml", "--sqlite", "db.sqlite", "--tables", "a,c"});
    EXPECT_NE(created.out.find("3 tables and views, 2 loaded"), std::string::npos) << created.out;
    EXPECT_TRUE(NamesLeftOutView(created, "v")) << created.err;
    EXPECT_NE(Succeed({"show", "p.xml", "v"}).out.find("TblLoaded = False\n"), std::string::npos);

    const RunResult checked = Succeed({"check", "p.xml"});
    EXPECT_EQ(checked.out, "0\n");
    EXPECT_TRUE(NamesLeftOutView(checked, "v")) << checked.err;

    // A broken view new in the database is outside what the project loads as well.
    Sqlite("CREATE TABLE d (x INTEGER); CREATE VIEW w AS SELECT x FROM d; DROP TABLE d;");
    const RunResult counted = Succeed({"check", "p.xml"});
    EXPECT_EQ(counted.out, "w: new VIEW in the database\n1\n");
    EXPECT_TRUE(NamesLeftOutView(counted, "v")) << counted.err;
    EXPECT_TRUE(NamesLeftOutView(counted, "w")) << counted.err;
    // Regression: a message each, in a row.
    EXPECT_NE(counted.err.find("quorvane: 2 tables and views of the database are left out:\r\n\r\n"),
              std::string::npos)
        << counted.err;
    const RunResult synchronised = Succeed({"sync", "p.xml"});
    EXPECT_NE(synchronised.out.find(": 2 tables loaded"), std::string::npos) << synchronised.out;
    EXPECT_TRUE(NamesLeftOutView(synchronised, "w")) << synchronised.err;
    EXPECT_EQ(Succeed({"check", "p.xml"}).out, "0\n");

    // Asked for, the view stops the command with what to do about it.
    const std::string before = ReadBytes(mWork / "p.xml");
    const RunResult loaded = Quorvane({"load-table", "p.xml", "v"});
    EXPECT_EQ(loaded.status, 1);
    EXPECT_NE(loaded.err.find("quorvane: Unable to read the view \"v\"!"), std::string::npos) << loaded.err;
    EXPECT_NE(loaded.err.find("Repair the view or drop it, or grant the right to read it."),
              std::string::npos)
        << loaded.err;
    EXPECT_EQ(ReadBytes(mWork / "p.xml"), before);
}

// Regression: with the detail column of a master/detail pair renamed in the database, check
// listed only the field changes, and sync said "Saved" with the pair gone without a word. So
// went a custom view whose SQL cannot be read, and one that a new table of its name replaced.
TEST_F(SchemaCommandsTest, PairsASyncRemovesAreNamedByCheckAndSync) {
    Sqlite("CREATE TABLE customers (customer_id INTEGER PRIMARY KEY, name TEXT);"
           "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer_id INTEGER);"
           "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);");
    Succeed({"new", "p.xml", "--sqlite", "db.sqlite"});
    std::string project = ReadBytes(mWork / "p.xml");
    const std::size_t end = project.rfind("</Project>");
    ASSERT_NE(end, std::string::npos);
    project.insert(end, "<MasterDetail MasterTable=\"customers\" DetailTable=\"orders\">"
                        "<Relation MasterField=\"customer_id\" DetailField=\"customer_id\"/></MasterDetail>"
                        "<MasterDetail MasterTable=\"customers\" DetailTable=\"notes\"/>"
                        "<MasterDetail MasterTable=\"orders\" DetailTable=\"orders\">"
                        "<Relation MasterField=\"id\" DetailField=\"id\"/></MasterDetail>");
    project.insert(
        project.find("</Database>"),
        "<Table TblName=\"cv\" TblType=\"CUSTOMVIEW\" TblLoaded=\"1\" TblCustomSQL=\"SELECT id FROM "
        "notes; DELETE FROM notes\"><Field FldName=\"id\"/></Table>"
        "<Table TblName=\"late\" TblType=\"CUSTOMVIEW\" TblLoaded=\"1\" TblCustomSQL=\"SELECT id FROM "
        "orders\"><Field FldName=\"id\" FldType=\"3\" FldSize=\"4\" FldZeroLen=\"1\" "
        "FldAttribute=\"116\"/></Table>");
    std::ofstream(mWork / "p.xml", std::ios::binary) << project;
    const std::string refused = "cv: custom view not compared with the database: ";
    const std::string inStep = Succeed({"check", "p.xml"}).out;
    EXPECT_EQ(inStep.rfind(refused, 0), 0u) << inStep;
    EXPECT_TRUE(inStep.ends_with(".\n0\n")) << inStep;

    Sqlite("ALTER TABLE orders RENAME COLUMN customer_id TO cust_id; DROP TABLE notes; CREATE TABLE late (n "
           "INTEGER);");
    const std::string detailGone = "\"customers\"/\"orders\"";
    const RunResult checked = Succeed({"check", "p.xml"});
    EXPECT_NE(checked.out.find("customers/orders: master/detail pair that a sync removes: the field "
                               "\"customer_id\" of the table \"orders\" is gone\n"),
              std::string::npos)
        << checked.out;
    EXPECT_NE(
        checked.out.find("customers/notes: master/detail pair that a sync removes: the table \"notes\" is "
                         "gone\n"),
        std::string::npos)
        << checked.out;
    EXPECT_EQ(checked.out.find("orders/orders"), std::string::npos) << checked.out;
    EXPECT_NE(checked.out.find("\n" + refused), std::string::npos) << checked.out;
    EXPECT_NE(
        checked.out.find("late: new TABLE in the database (a sync replaces the custom view \"late\" with "
                         "it)\n"),
        std::string::npos)
        << checked.out;

    // Regression: a --map entry that matches nothing had the pairs "removed", then nothing saved.
    // Named alone, it changes nothing.
    const std::string before = ReadBytes(mWork / "p.xml");
    const RunResult mistyped = Quorvane({"sync", "p.xml", "--yes", "--map", "orders=orders2"});
    EXPECT_EQ(mistyped.status, 1);
    EXPECT_EQ(mistyped.err.find("removed"), std::string::npos) << mistyped.err;
    EXPECT_NE(
        mistyped.err.find("quorvane: sync: --map orders=orders2 matches no renamed table, view or field"),
        std::string::npos)
        << mistyped.err;
    EXPECT_NE(mistyped.err.find("nothing was synchronised or saved"), std::string::npos) << mistyped.err;
    EXPECT_EQ(ReadBytes(mWork / "p.xml"), before);

    // Regression: one message each, in a row.
    const RunResult synchronised = Succeed({"sync", "p.xml", "--yes"});
    EXPECT_NE(
        synchronised.err.find("quorvane: 2 master/detail pairs are removed:\r\n\"customers\"/\"orders\": "
                              "the field \"customer_id\" of the table \"orders\" is gone.\r\n"
                              "\"customers\"/\"notes\": the table \"notes\" is gone.\n"),
        std::string::npos)
        << synchronised.err;
    EXPECT_NE(
        synchronised.err.find("quorvane: The custom view \"cv\" could not be synchronised and is kept as it "
                              "was: "),
        std::string::npos)
        << synchronised.err;
    EXPECT_NE(
        synchronised.err.find("quorvane: The custom view \"late\" is replaced: the database now holds the "
                              "table \"late\".\n"),
        std::string::npos)
        << synchronised.err;
    EXPECT_EQ(synchronised.err.find("\"orders\"/\"orders\""), std::string::npos) << synchronised.err;
    project = ReadBytes(mWork / "p.xml");
    EXPECT_EQ(project.find("MasterTable=\"customers\""), std::string::npos);
    EXPECT_NE(project.find("MasterTable=\"orders\""), std::string::npos);
    EXPECT_NE(project.find("TblCustomSQL=\"SELECT id FROM notes; DELETE FROM notes\""), std::string::npos);
    const std::string after = Succeed({"check", "p.xml"}).out;
    EXPECT_EQ(after.rfind(refused, 0), 0u) << after;
    EXPECT_TRUE(after.ends_with(".\n0\n")) << after;
}

// Regression: a field not found was said to be missing from the project's spelling of the table
// ("table Users has no field a"), not from the table the user named; on PostgreSQL, where "users"
// and "USERS" both exist, that named the other table.
TEST_F(SchemaCommandsTest, AFieldNotFoundIsSaidOfTheTableAsTyped) {
    Sqlite("CREATE TABLE Users (id INTEGER PRIMARY KEY, name TEXT);");
    const RunResult created = Quorvane({"new", "p.xml", "--sqlite", "db.sqlite", "--tables", "users.a"});
    EXPECT_EQ(created.status, 1);
    EXPECT_NE(created.err.find("quorvane: table users has no field a\n"), std::string::npos) << created.err;
    Succeed({"new", "q.xml", "--sqlite", "db.sqlite"});
    const RunResult shown = Quorvane({"show", "q.xml", "USERS.nosuch"});
    EXPECT_NE(shown.err.find("quorvane: table USERS has no field nosuch\n"), std::string::npos) << shown.err;

    // Regression: "A.b" named the table "a.b", matched without regard to letter case, though the
    // table A, named exactly, has the field b.
    Sqlite("CREATE TABLE \"a.b\" (x INTEGER); CREATE TABLE A (b INTEGER);");
    Succeed({"new", "r.xml", "--sqlite", "db.sqlite"});
    EXPECT_NE(Succeed({"show", "r.xml", "A.b"}).out.find("FldName = b\n"), std::string::npos);
    EXPECT_NE(Succeed({"show", "r.xml", "a.b"}).out.find("TblName = a.b\n"), std::string::npos);
    const RunResult field = Quorvane({"unload-table", "r.xml", "A.b"});
    EXPECT_NE(field.err.find("quorvane: the project has no table A.b (it names the field A.b)\n"),
              std::string::npos)
        << field.err;
}

} // namespace
} // namespace qv::test
