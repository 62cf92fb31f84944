// The show and set commands of the quorvane program, run as a user runs them on a project made
// from an SQLite database: set never answers "Saved" for a change that would lose work or be gone
// at the next load, and show never prints a password. A first run fills the user's settings file.

#include "ProgramTest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

class SettingCommandsTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        CreateShopDatabase();
        Succeed({"new", "shop.xml", "--sqlite", "shop.db"});
    }

    /// Runs set and expects it to refuse with exit status 1 and `text` in its message, leaving
    /// the project file as it was, byte for byte.
    void Refused(const std::vector<std::string>& arguments, const std::string& text) {
        SCOPED_TRACE(arguments.back());
        const std::string before = ReadBytes(mWork / "shop.xml");
        std::vector<std::string> command = {"set", "shop.xml"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const RunResult result = Quorvane(command);
        EXPECT_EQ(result.status, 1) << result.out;
        EXPECT_NE(result.err.find(text), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("Saved"), std::string::npos) << result.out;
        EXPECT_TRUE(ReadBytes(mWork / "shop.xml") == before);
    }
};

// A table or field renamed to a name another one bears (in any letter case), or to nothing,
// was "Saved": the file then held two of one name and the next save kept one, so a table with
// its fields and settings, or a field with its settings, was gone.
TEST_F(SettingCommandsTest, RenamingToATakenOrEmptyNameIsRefused) {
    Succeed({"set", "shop.xml", "products", "TblCaption=Goods"});
    Refused({"products", "TblName=customers"}, "quorvane: set: table products cannot be renamed customers");
    Refused({"products", "TblName=CUSTOMERS"}, "table customers bears that name");
    Refused({"products", "TblName="}, "quorvane: set: TblName of table products cannot be empty");
    Refused({"customers.city", "FldName=Name"}, "field customers.city cannot be renamed Name");
    Refused({"customers.city", "FldName=name"}, "field customers.name bears that name");
    Refused({"customers.city", "FldName="}, "FldName of field customers.city cannot be empty");
    // A wrong rename among other settings saves none of them.
    Refused({"products", "TblCaption=Wares", "TblName=Order_Lines"}, "table order_lines bears that name");
    // Blanks alone were taken for a name; names the project's keys fold into one only through a
    // dotless i or a long s met the list's own refusal, which names nothing, and so did a rename
    // to the item's own name so spelt (below).
    Refused({"products", "TblName= "}, "TblName of table products cannot be empty");
    Refused({"customers.city", "FldName=\t"}, "FldName of field customers.city cannot be empty");
    Refused({"products", "TblName=cu\u017Ftomers"}, "table customers bears that name");
    Refused({"customers.city", "FldName=\u0131d"}, "field customers.id bears that name");

    // Another letter case of its own name, and a free name, rename as before.
    EXPECT_NE(Succeed({"set", "shop.xml", "products", "TblName=Products"}).out.find("Saved"),
              std::string::npos);
    Succeed({"set", "shop.xml", "customers.city", "FldName=c\u0131ty"});
    Succeed({"set", "shop.xml", "customers.city", "FldName=City"});
    Succeed({"set", "shop.xml", "Products", "TblName=goods"});
    const std::string goods = Succeed({"show", "shop.xml", "goods"}).out;
    EXPECT_NE(goods.find("TblName = goods\n"), std::string::npos) << goods;
    EXPECT_NE(goods.find("TblCaption = Goods\n"), std::string::npos) << goods;
    EXPECT_NE(Succeed({"show", "shop.xml", "goods.price"}).out.find("FldName = price\n"), std::string::npos);
    EXPECT_NE(Succeed({"show", "shop.xml", "customers.City"}).out.find("FldName = City\n"),
              std::string::npos);
    for (const char* table : {"customers", "order_lines", "big_lines"}) {
        EXPECT_NE(Succeed({"show", "shop.xml", table}).out.find(std::string("TblName = ") + table + "\n"),
                  std::string::npos)
            << table;
    }
}

// Settings that loading works out again (the field quotes from the database's kind, whether a
// table's fields are loaded from the fields the file holds) were "Saved" and gone at the next
// load.
TEST_F(SettingCommandsTest, SettingsWorkedOutAtLoadAreRefused) {
    const std::string reason =
        "cannot be set; the library works it out itself and keeps no value given to it";
    Refused({"customers.name", "FldQuoteS=["}, "FldQuoteS of field customers.name " + reason);
    Refused({"customers.name", "FldQuoteE=]"}, "FldQuoteE of field customers.name " + reason);
    Refused({"customers", "TblLoaded=False"}, "TblLoaded of table customers " + reason);
}

// A project file holding two tables or two fields of one name (in any letter case), or one with
// no name, lost the second at the load without a word, and set then said "Saved" over a file
// without it. So did an extension of a name read before, a pair without its tables and an element
// of no known name.
TEST_F(SettingCommandsTest, WhatALoadSkipsIsNamedAndNeverSavedAway) {
    std::string project = ReadBytes(mWork / "shop.xml");
    const auto replace = [&](const std::string& from, const std::string& to, bool last) {
        const std::size_t at = last ? project.rfind(from) : project.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        project.replace(at, from.size(), to);
    };
    replace("TblName=\"products\"", "TblName=\"Customers\"", false);
    replace("TblName=\"order_lines\"", "TblName=\"\"", false);
    replace("FldName=\"city\"", "FldName=\"NAME\"", false);
    replace("FldName=\"quantity\"", "FldName=\"\"", true);
    replace("</Project>",
            "<Extension Name=\"stamp\" Template=\"a.zip\"/><Extension Name=\"Stamp\" Template=\"b.zip\"/>"
            "<MasterDetail MasterTable=\"\" DetailTable=\"customers\"/><Chart/></Project>",
            true);
    std::ofstream(mWork / "shop.xml", std::ios::binary) << project;

    // Commands that only read go on, naming each element and why it was skipped.
    const RunResult shown = Succeed({"show", "shop.xml", "customers"});
    EXPECT_NE(shown.out.find("TblName = customers\n"), std::string::npos) << shown.out;
    for (const char* warning :
         {"quorvane: The table \"Customers\" on line 10 is skipped with its 3 fields",
          "differs only in letter case from the table \"customers\" before it",
          "quorvane: A table with no name on line 15 is skipped with its 4 fields",
          "quorvane: The field \"NAME\" of the table \"customers\"",
          "quorvane: A field with no name of the table \"big_lines\"", "quorvane: The extension \"Stamp\"",
          "quorvane: The master/detail pair on line", "quorvane: The element \"Chart\""}) {
        EXPECT_NE(shown.err.find(warning), std::string::npos) << warning << "\n" << shown.err;
    }
    // A command that would save refuses, saying what to change in the file.
    Refused({"BodyTitle=x"}, "/shop.xml is left as it is: saving the project would drop the 7 elements");
    Refused({"BodyTitle=x"}, "rename the table \"Customers\" on line 10; give the table on line 15 a name");
}

// show printed the password of a connection string, the security password and the mail server's
// password in clear, while the database password was masked.
TEST_F(SettingCommandsTest, ShowMasksEveryPassword) {
    Succeed({"set", "shop.xml", "SecPasswd=s3cret", "SMTPServerPassword=m4il", "DBPwd=d8pass"});
    std::string shown = Succeed({"show", "shop.xml"}).out;
    EXPECT_NE(shown.find("SecPasswd = ********\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("SMTPServerPassword = ********\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("DBPwd = ********\n"), std::string::npos) << shown;
    // A name of a password's field is no password.
    Succeed({"set", "shop.xml", "SecPasswdFld=pass_word"});
    EXPECT_NE(Succeed({"show", "shop.xml"}).out.find("SecPasswdFld = pass_word\n"), std::string::npos);

    // Stored connection string, and as show prints it: the password masked wherever and however
    // it is written, the rest as stored.
    const std::vector<std::pair<std::string, std::string>> connections = {
        {"Driver={SQLite3};Database=/x.db;UID=u;PWD=s3cret",
         "Driver={SQLite3};Database=/x.db;UID=u;PWD=********"},
        {"DRIVER=X;pwd={se;cr}}et};Timeout=5", "DRIVER=X;pwd=********;Timeout=5"},
        {"Driver=X;UID={PWD=u;};Pwd = s3cret ;Database=d",
         "Driver=X;UID={PWD=********;};Pwd = ******** ;Database=d"},
        {"Provider=SQLOLEDB;User ID=u;Password=\"a;b\";Data Source=h",
         "Provider=SQLOLEDB;User ID=u;Password=********;Data Source=h"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Jet OLEDB:Database Password=s3cret",
         "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb;Jet OLEDB:Database Password=********"},
        {"Driver=X;PWD=;UID=u;Password={}", "Driver=X;PWD=;UID=u;Password=********"},
        // Where a quoted value has no end, what follows it may be a password.
        {"Driver={X;PWD=s3cret", "Driver=********"},
        // A value may hold a connection string of its own, whose password the ODBC bridge uses.
        {"Provider=MSDASQL;Extended Properties=\"Driver={PostgreSQL Unicode};PWD={qv;pw}}=1}\";UID=u",
         "Provider=MSDASQL;Extended Properties=\"Driver={PostgreSQL Unicode};PWD=********\";UID=u"},
        {"Provider=MSDASQL;Extended Properties={Driver={X}};PWD={p}}}}w}}}",
         "Provider=MSDASQL;Extended Properties={Driver={X}};PWD=********}"},
        {"Provider=MSDASQL;Extended Properties=PWD=s3cret",
         "Provider=MSDASQL;Extended Properties=PWD=********"},
        {"A={B='C=\"Pwd=s3cret\"'}", "A={B='C=\"Pwd=********\"'}"},
        {"Provider=MSDASQL;Extended Properties=\"DSN=d;UID=u\"",
         "Provider=MSDASQL;Extended Properties=\"DSN=d;UID=u\""},
        // The bridge finds its keys in any letter case, a long s for an s included.
        {"Provider=MSDASQL;DSN=d;Pa\u017F\u017Fword=s3cret",
         "Provider=MSDASQL;DSN=d;Pa\u017F\u017Fword=********"},
    };
    for (const auto& [stored, expected] : connections) {
        SCOPED_TRACE(stored);
        Succeed({"set", "shop.xml", "DBConnstr=" + stored, "DBConnstrOra=" + stored});
        shown = Succeed({"show", "shop.xml"}).out;
        EXPECT_NE(shown.find("\nDBConnstr = " + expected + "\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find("\nDBConnstrOra = " + expected + "\n"), std::string::npos) << shown;
    }

    // The project file keeps what it kept.
    const std::string project = ReadBytes(mWork / "shop.xml");
    EXPECT_NE(project.find("SecPasswd=\"s3cret\""), std::string::npos);
    EXPECT_NE(project.find("SMTPServerPassword=\"m4il\""), std::string::npos);
    EXPECT_NE(project.find("DBPwd=\"d8pass\""), std::string::npos);
}

// A user settings file whose "Language" held blanks alone was not taken for a first run, so that
// no default reached it and generate stopped with "Template file not found!". A machine settings
// file whose "Language" held nothing made every start a first run, which put back each default
// the user had removed.
TEST_F(SettingCommandsTest, AFirstRunIsOneRunAndALanguageOfBlanksHoldsNothing) {
    std::ofstream(mTemp / "user.reg") << "[Software\\Quorvane\\6.0\\Settings\\General]\n"
                                         "\"Language\"=1:\"   \"\n";
    Succeed({"new", "blank.xml", "--sqlite", "shop.db"});
    Succeed({"generate", "blank.xml"});
    EXPECT_NE(ReadBytes(mTemp / "user.reg").find("\"Language\"=1:\"lang/english.xml\""), std::string::npos);

    std::string machine = ReadBytes(fs::path(QV_SOURCE_DIR) / "share/quorvane/machine.reg");
    const std::string language = "\"Language\"=1:\"lang/english.xml\"";
    ASSERT_NE(machine.find(language), std::string::npos);
    machine.replace(machine.find(language), language.size(), "\"Language\"=1:\"\"");
    std::ofstream(mTemp / "machine.reg") << machine;
    std::map<std::string, std::string> environment = {
        {"QUORVANE_USER_HIVE", (mTemp / "fresh.reg").string()},
        {"QUORVANE_MACHINE_HIVE", (mTemp / "machine.reg").string()},
        {"QUORVANE_DOCUMENTS", (mTemp / "documents").string()},
        {"HOME", (mTemp / "home").string()},
    };
    const auto show = [&] {
        const RunResult shown = RunProgram(QV_QUORVANE_PROGRAM, {"show", "shop.xml"}, environment, mWork);
        EXPECT_EQ(shown.status, 0) << shown.err;
    };
    show();
    std::string user = ReadBytes(mTemp / "fresh.reg");
    const std::size_t removed = user.find("\"RecPerPage\"=4:20\n");
    ASSERT_NE(removed, std::string::npos) << user;
    user.erase(removed, user.find('\n', removed) + 1 - removed);
    std::ofstream(mTemp / "fresh.reg") << user;
    for (int start = 0; start < 2; ++start) {
        show();
        EXPECT_EQ(ReadBytes(mTemp / "fresh.reg"), user);
    }
}

} // namespace
} // namespace qv::test
