#include "SiteFixture.h"

#include "model/field/QelField.h"
#include "model/field/QelFields.h"
#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace qv::test::site {
namespace {

using testdb::DatabaseKind;

/// A site of a schema nobody would design but many have: names with spaces, reserved words,
/// quotes, dashes, accents and CJK; keys of text, dates, several columns and bytes; a table
/// without a key, one of binary columns only, one of 300 columns and a view over a join. The
/// developer generates every binary column's picture page and changes nothing else.
class AwkwardNamesTest : public SiteTest {
protected:
    std::string Script() const override { return "awkward"; }
    void Configure(Qel& project) const override {
        GenerateField(project, u"images", u"data");
        GenerateField(project, u"images", u"thumb");
        GenerateField(project, u"notes", u"scan");
        AddMasterDetail(project, u"dotted", u"dotted_lines", u"k.ey", u"k.ey");
    }

    /// The site's pages of one kind ("list", "view"...), by file name.
    std::vector<std::string> Pages(const std::string& kind) {
        std::vector<std::string> pages;
        for (const auto& entry : std::filesystem::directory_iterator(Site().Root())) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(kind + ".asp")) {
                pages.push_back(name);
            }
        }
        std::sort(pages.begin(), pages.end());
        return pages;
    }

    /// Deletes the first record a list shows through its delete page; the list page's name.
    void DeleteFirstOf(const std::string& list, const std::u16string& countSql) {
        SCOPED_TRACE(list);
        const std::string before = Database().Scalar(countSql);
        std::string link;
        for (const std::string& candidate : Links(Clean(list).body)) {
            if (candidate.find("delete.asp?") != std::string::npos) {
                link = candidate;
                break;
            }
        }
        ASSERT_NE(link, "") << "no delete link";
        const std::string form = Clean(link).body;
        ASSERT_NE(Token(form), "") << form;
        EXPECT_EQ(CleanPost(link, {{"qv_token", Token(form)}}).StatusCode(), 302);
        EXPECT_EQ(std::stoi(Database().Scalar(countSql)), std::stoi(before) - 1);
    }
};

// Every page the site links to, from the home page down to each record's view, edit and
// delete pages and each list's sort and page links, runs clean, also with SQL or markup in each
// parameter; then every statement the pages ran prepares against the live database.
TEST_P(AwkwardNamesTest, EveryLinkedPageRunsAndEveryStatementPrepares) {
    const std::vector<std::string> visited = Crawl("default.asp", 180);
    EXPECT_GT(visited.size(), 40u);
    // A backslash at the end of a quoted name ended no name, so that no table of the database
    // loaded: the table whose names end in one is read, and its record shown.
    const auto backslashView = std::find_if(visited.begin(), visited.end(), [](const std::string& url) {
        return url.starts_with("tb5cview.asp?");
    });
    ASSERT_NE(backslashView, visited.end());
    EXPECT_TRUE(Holds(Clean(*backslashView).body, "back\\slash")) << Clean(*backslashView).body;
    // So is the table whose name holds every quote character and a dot, which SQLite's
    // statements name before each of its columns.
    EXPECT_TRUE(std::any_of(visited.begin(), visited.end(), [this](const std::string& url) {
        return Holds(url, "list.asp") && Holds(Clean(url).body, "odd-one");
    }));
    EXPECT_GT(TryInjections(visited, {"1' OR '1'='1' --", "\"><script>alert(1)</script>"}), 20u);
    // A record added through every add page, and every record's edit form posted back, each
    // empty field given a value of its kind (an edit that changes nothing writes nothing).
    const auto filled = [](const std::string& form) {
        std::map<std::string, std::string> values;
        for (const auto& field : FormFields(form)) {
            if (field.second.empty()) {
                values[field.first] =
                    Holds(form, "type=\"date\" id=\"" + field.first + "\"") ? "2024-01-02" : "7";
            }
        }
        return FormFields(form, values);
    };
    for (const std::string& page : Pages("add")) {
        const std::string form = Clean(page).body;
        CleanPost(page, filled(form));
    }
    for (const std::string& url : visited) {
        if (url.find("edit.asp?") != std::string::npos) {
            const std::string form = Clean(url).body;
            CleanPost(url, filled(form));
        }
    }
    std::set<std::string> verbs;
    for (const ExecutedStatement& statement : StatementsOfThisTest()) {
        verbs.insert(automation::ToUtf8(statement.sql.substr(0, statement.sql.find(u' '))));
        EXPECT_EQ(statement.error, u"") << automation::ToUtf8(statement.sql);
    }
    EXPECT_TRUE(verbs.count("INSERT") == 1 && verbs.count("UPDATE") == 1) << testing::PrintToString(verbs);
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

// Records are found and deleted by keys of every kind: text with a space and an ampersand, a
// date, two columns, bytes.
TEST_P(AwkwardNamesTest, DeletesByEveryKindOfKey) {
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    DeleteFirstOf("holidayslist.asp", u"SELECT COUNT(*) FROM " + q + u"Holidays" + q);
    DeleteFirstOf("line2ditemslist.asp", u"SELECT COUNT(*) FROM " + q + u"line-items" + q);
    DeleteFirstOf("userlist.asp", u"SELECT COUNT(*) FROM " + q + u"user" + q);
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

TEST_P(AwkwardNamesTest, DeletesByABinaryKey) {
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    DeleteFirstOf("tokenslist.asp", u"SELECT COUNT(*) FROM " + q + u"tokens" + q);
}

// A record of a binary key is added with the key typed as hexadecimal digits; anything else in
// the key's input is named as what it is and adds nothing.
TEST_P(AwkwardNamesTest, AddsARecordByABinaryKey) {
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    const std::u16string count = u"SELECT COUNT(*) FROM " + q + u"tokens" + q;
    const std::string form = Clean("tokensadd.asp").body;
    std::smatch key;
    ASSERT_TRUE(std::regex_search(form, key, std::regex(R"re(name="(x_[A-Za-z_]*token)")re"))) << form;
    const std::string before = Database().Scalar(count);
    for (const char* bad : {"C0FFE", "XYZ1", "00' OR '1'='1"}) {
        const AspResponse refused =
            CleanPost("tokensadd.asp", FormFields(Clean("tokensadd.asp").body, {{key[1].str(), bad}}));
        EXPECT_EQ(refused.StatusCode(), 200) << bad;
        EXPECT_TRUE(Holds(refused.body, "hexadecimal")) << refused.body;
        EXPECT_FALSE(Holds(refused.body, "Please enter a number")) << refused.body;
    }
    EXPECT_EQ(Database().Scalar(count), before);
    const AspResponse added =
        CleanPost("tokensadd.asp",
                  FormFields(Clean("tokensadd.asp").body, {{key[1].str(), "c0ffee"}, {"x_note", "new"}}));
    EXPECT_EQ(added.StatusCode(), 302) << added.body;
    EXPECT_EQ(std::stoi(Database().Scalar(count)), std::stoi(before) + 1);
    // The new record is found by its bytes.
    const std::string view = Clean("tokensview.asp?k_token=C0FFEE").body;
    EXPECT_TRUE(Holds(view, ">new<")) << view;
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

// An edit that changes one field leaves the others as they were: a time of day, a time, a
// decimal.
TEST_P(AwkwardNamesTest, EditingKeepsTimesAndDecimals) {
    std::string edit;
    for (const std::string& link : Links(Clean("order_detailslist.asp").body)) {
        if (link.find("edit.asp?") != std::string::npos) {
            edit = link;
            break;
        }
    }
    ASSERT_NE(edit, "");
    const std::string form = Clean(edit).body;
    std::vector<std::pair<std::string, std::string>> fields{{"qv_token", Token(form)}};
    const std::regex input(R"re(<input type="[a-z-]+" id="[^"]*" name="([^"]*)" value="([^"]*)")re");
    for (std::sregex_iterator match(form.begin(), form.end(), input), end; match != end; ++match) {
        fields.emplace_back((*match)[1].str(), (*match)[2].str());
    }
    // A browser posts its text areas too.
    const std::regex area(R"re(<textarea id="[^"]*" name="([^"]*)"[^>]*>([^<]*)</textarea>)re");
    for (std::sregex_iterator match(form.begin(), form.end(), area), end; match != end; ++match) {
        fields.emplace_back((*match)[1].str(), (*match)[2].str());
    }
    EXPECT_EQ(CleanPost(edit, fields).StatusCode(), 302);
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    const std::u16string from =
        u" FROM " + q + u"Order Details" + q + u" WHERE " + q + u"select" + q + u" = 'first'";
    const std::string when = Database().Scalar(u"SELECT " + q + u"when" + q + from);
    EXPECT_TRUE(Holds(when, "13:45:30") || Holds(when, "1:45:30 PM")) << when;
    EXPECT_EQ(Database().Scalar(u"SELECT " + q + u"memo" + q + from), "line");
    EXPECT_TRUE(Holds(Database().Scalar(u"SELECT " + q + u"at" + q + from), "8:15:00"));
    EXPECT_EQ(Database().Scalar(u"SELECT " + q + u"Prix €" + q + from), "12.34");
}

// A date-time column is searched by its day, every time of that day; a time by the time.
TEST_P(AwkwardNamesTest, DateTimesAreSearchedByTheirDay) {
    const std::string day = Clean("order_detailslist.asp?z_when=2024-03-01").body;
    EXPECT_TRUE(Holds(day, ">first<")) << day;
    EXPECT_FALSE(Holds(day, ">second<"));
    EXPECT_TRUE(Holds(Clean("order_detailslist.asp?z_at=23%3A00%3A01").body, ">second<"));
    EXPECT_TRUE(Holds(Clean("order_detailslist.asp?z_when=2024-03-02").body, "No records found."));
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

// A time column shows its time, and a date-time column its time of day, in the record's view.
TEST_P(AwkwardNamesTest, TimesShowAsTimes) {
    std::string view;
    for (const std::string& link : Links(Clean("order_detailslist.asp").body)) {
        if (link.find("view.asp?") != std::string::npos) {
            view = link;
            break;
        }
    }
    ASSERT_NE(view, "");
    const std::string page = Clean(view).body;
    EXPECT_FALSE(Holds(page, "1899")) << page;
    EXPECT_TRUE(Holds(page, "8:15")) << page;
    EXPECT_TRUE(Holds(page, "13:45") || Holds(page, "1:45")) << page;
}

// A field left blank in the add form takes its column's default.
TEST_P(AwkwardNamesTest, BlankFieldsTakeTheirDefaults) {
    const std::string form = Clean("order_detailsadd.asp").body;
    // The input of the column "select" (a reserved word, so its form name is not the column's).
    std::smatch select;
    ASSERT_TRUE(std::regex_search(form, select, std::regex(R"re(name="(x_[A-Za-z_]*select)")re")));
    EXPECT_EQ(CleanPost("order_detailsadd.asp", {{"qv_token", Token(form)}, {select[1].str(), "third"}})
                  .StatusCode(),
              302);
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    const std::u16string from =
        u" FROM " + q + u"Order Details" + q + u" WHERE " + q + u"select" + q + u" = 'third'";
    EXPECT_EQ(Database().Scalar(u"SELECT " + q + u"user" + q + from), "guest");
    EXPECT_EQ(Database().Scalar(u"SELECT " + q + u"order" + q + from), "7");
}

// The picture page of a record sends its bytes.
TEST_P(AwkwardNamesTest, PicturePagesSendTheBytes) {
    const AspResponse picture = Clean("images_datapicture.asp?k_id=1");
    EXPECT_EQ(picture.body, "\x89PNG");
}

// A picture page finds its record by the key: a table without one gets no picture page and no
// link to one (before, its page always failed on a query ending in "WHERE "), and a picture page
// asked for without its key answers that there is no such picture.
TEST_P(AwkwardNamesTest, PicturesNeedAKey) {
    EXPECT_FALSE(std::filesystem::exists(Site().Root() / "notes_scanpicture.asp"));
    const std::string list = Clean("noteslist.asp").body;
    EXPECT_TRUE(Holds(list, "no key here"));
    EXPECT_FALSE(Holds(list, "picture.asp")) << list;
    for (const char* page : {"images_datapicture.asp", "images_datapicture.asp?k_id=x"}) {
        const AspResponse response = Clean(page);
        EXPECT_EQ(response.StatusCode(), 404) << page;
        EXPECT_EQ(response.body, "") << page;
    }
}

// A table whose only column is its auto-increment key still takes a new record.
TEST_P(AwkwardNamesTest, AddsARecordOfDefaultsOnly) {
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    const std::u16string count = u"SELECT COUNT(*) FROM " + q + u"counters" + q;
    const int before = std::stoi(Database().Scalar(count));
    const AspResponse added = CleanPost("countersadd.asp", FormFields(Clean("countersadd.asp").body));
    EXPECT_EQ(added.StatusCode(), 302) << added.body;
    EXPECT_EQ(std::stoi(Database().Scalar(count)), before + 1);
}

// A table and columns whose names hold line breaks (LF, CR, the Unicode line separator): the
// names went into the pages' string literals as they were, and the list, view, add and edit
// pages did not compile ("Unterminated string constant"). The SQL names them whole.
TEST_P(AwkwardNamesTest, NamesWithALineBreakStayWhole) {
    const std::string list = Clean("taablist.asp").body;
    EXPECT_TRUE(Holds(list, "two\nlines") && Holds(list, "c r ls")) << list;
    EXPECT_TRUE(Holds(Clean("taabview.asp?k_code=a").body, "two\nlines"));
    EXPECT_EQ(
        CleanPost("taabadd.asp", FormFields(Clean("taabadd.asp").body, {{"x_code", "b"}, {"x_naAme", "new"}}))
            .StatusCode(),
        302);
    const std::string edit = "taabedit.asp?k_code=a";
    EXPECT_EQ(CleanPost(edit, FormFields(Clean(edit).body, {{"x_naAme", "changed"}})).StatusCode(), 302);
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    const std::u16string select = u"SELECT " + q + u"na\nme" + q + u" FROM " + q + u"ta\nb" + q + u" WHERE ";
    EXPECT_EQ(Database().Scalar(select + u"code = 'b'"), "new");
    EXPECT_EQ(Database().Scalar(select + u"code = 'a'"), "changed");
}

// Columns whose names hold a dot: the SQLite driver names such a result column after what follows
// the last dot, and the list, view, edit and delete pages answered 500 ("Item cannot be found in
// the collection"). Every page shows each column's own value, the dotted key's record links and
// the master's link to its details included; a column named as the page would name another for
// itself keeps its own value. A name of three dots ("m.n.o.p") was cut elsewhere ("o.p"), and its
// table loaded with a field of that part.
TEST_P(AwkwardNamesTest, ColumnsWithADotInTheirNamesAreFound) {
    const std::string list = Clean("dottedlist.asp").body;
    for (const char* value : {"ab-one", "nm-one", "qc-one", "ab-two", "qc-two", "mnop-one"}) {
        EXPECT_TRUE(Holds(list, value)) << value << ": " << list;
    }
    std::map<std::string, std::string> pages;
    for (const std::string& link : Links(list)) {
        if (Holds(link, "=k%2E2")) {
            pages[link.substr(0, link.find('?'))] = link;
        }
    }
    ASSERT_EQ(pages.size(), 3u) << list;
    for (const auto& [page, link] : pages) {
        const std::string body = Clean(link).body;
        EXPECT_TRUE(Holds(body, "ab-two") && Holds(body, "qc-two") && Holds(body, "mnop-two"))
            << link << ": " << body;
    }
    const std::string edit = pages["dottededit.asp"];
    const std::string form = Clean(edit).body;
    std::map<std::string, std::string> changes;
    for (const auto& [name, value] : FormFields(form)) {
        if (value == "ab-two") {
            changes[name] = "ab-changed";
        }
    }
    ASSERT_EQ(changes.size(), 1u) << form;
    EXPECT_EQ(CleanPost(edit, FormFields(form, changes)).StatusCode(), 302);
    const std::u16string q = Kind() == DatabaseKind::MariaDB ? u"`" : u"\"";
    EXPECT_EQ(Database().Scalar(u"SELECT " + q + u"a.b" + q + u" FROM dotted WHERE nm = 'nm-two'"),
              "ab-changed");
    EXPECT_EQ(Database().Scalar(u"SELECT qv_col2 FROM dotted WHERE nm = 'nm-two'"), "qc-two");
    // The master's view links to its details by the dotted key's value.
    std::string details;
    for (const std::string& link : Links(list)) {
        if (link.starts_with("dottedview.asp?") && !Holds(link, "=k%2E2")) {
            for (const std::string& detail : Links(Clean(link).body)) {
                if (detail.starts_with("dotted_lineslist.asp?")) {
                    details = detail;
                }
            }
        }
    }
    ASSERT_NE(details, "");
    const std::string lines = Clean(details).body;
    EXPECT_TRUE(Holds(lines, "xy-one") && Holds(lines, "k1")) << details << ": " << lines;
    for (const std::string& failure : PrepareFailures()) {
        ADD_FAILURE() << failure;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, AwkwardNamesTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

/// Two tables whose picture pages would get one file name.
class CollidingPicturesTest : public SiteTest {
protected:
    std::string Script() const override { return "collide"; }
    bool GenerationMayStop() const override { return true; }
    void Configure(Qel& project) const override {
        // The table whose pages would be a_b's is left out, as the run's message says to.
        project.db()->tables()->Find(u"a b")->SetTblGen(false);
        GenerateField(project, u"a_b", u"c");
        GenerateField(project, u"a", u"b_c");
    }
};

// Two picture pages with one file name stop the run, as two pages of another kind do, instead
// of one silently taking the other's place.
TEST_P(CollidingPicturesTest, TwoPicturePagesWithOneNameStopTheRun) {
    EXPECT_TRUE(Holds(GenerationFailure(), "a_b_cpicture")) << GenerationFailure();
}

INSTANTIATE_TEST_SUITE_P(Databases, CollidingPicturesTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

/// The same two tables, one of them the user table of a dynamic login whose password is the
/// binary column: that column gets no picture page, so the other's page has its name alone.
class PasswordBesidePictureTest : public SiteTest {
protected:
    std::string Script() const override { return "collide"; }
    void Configure(Qel& project) const override {
        project.db()->tables()->Find(u"a b")->SetTblGen(false);
        GenerateField(project, u"a_b", u"c");
        GenerateField(project, u"a", u"b_c");
        project.SetSecType(u"Dynamic");
        project.SetSecTbl(u"a");
        project.SetSecLoginIDFld(u"id");
        project.SetSecPasswdFld(u"b_c");
    }
};

// The check for page names that clash asked whether the password column was left out before
// the column had been made current, and stopped the run over a page that is never written.
TEST_P(PasswordBesidePictureTest, ThePasswordColumnTakesNoPageName) {
    EXPECT_EQ(GenerationFailure(), "");
    // The page is a_b's picture of c, not a's of the password.
    const std::string picture = ReadSiteFile("a_b_cpicture.asp");
    EXPECT_TRUE(Holds(picture, "a_b.c")) << picture;
    EXPECT_FALSE(Holds(picture, "b_c")) << picture;
}

INSTANTIATE_TEST_SUITE_P(Databases, PasswordBesidePictureTest, ::testing::ValuesIn(SiteKinds()),
                         KindTestName);

/// Two tables whose pages would get one file name, both generated.
class CollidingTablesTest : public SiteTest {
protected:
    std::string Script() const override { return "collide"; }
    bool GenerationMayStop() const override { return true; }
    void Configure(Qel&) const override {}
};

// Two tables with one page name stop the run, and the message says how to go on: a table's page
// names follow its name, so one of them is left out.
TEST_P(CollidingTablesTest, TheRunSaysHowToGoOn) {
    EXPECT_TRUE(Holds(GenerationFailure(), "give the same page names (a_b)")) << GenerationFailure();
    EXPECT_TRUE(Holds(GenerationFailure(), "TblGen=False")) << GenerationFailure();
}

INSTANTIATE_TEST_SUITE_P(Databases, CollidingTablesTest, ::testing::ValuesIn(SiteKinds()), KindTestName);

} // namespace
} // namespace qv::test::site
