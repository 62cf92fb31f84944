// The demo site end to end through the template engine: the bundled database and template
// package, with the export extension, generated page by page (see DemoSite.h). The pages are
// what a developer starts from, so their own server-side code must compile, bind every request
// value as a command parameter, and link only to pages that exist.

#include "DemoSite.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"
#include "model/table/QelTables.h"

#include "template/QelLanguage.h"

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

namespace qv::test::templates {
namespace {

using automation::FromUtf8;
using automation::MakeRef;
using automation::Ref;
using automation::ToUtf8;

/// An object of the web server (Request, Response...) that the compiled pages name; the pages
/// are compiled, never run, so it has no members.
class ServerObject final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"ServerObject", {});
        return info;
    }
};

constexpr std::int32_t NotRunMarker = 31999;

/// The page with its server-side includes expanded, as the web server reads it. A missing
/// include is a failure.
std::string ExpandIncludes(const std::string& page, const std::map<std::string, std::string>& files,
                           int depth = 0) {
    static const std::regex include(R"x(<!--#include (file|virtual)="([^"]+)"-->)x");
    std::string result;
    auto last = page.cbegin();
    for (std::sregex_iterator match(page.begin(), page.end(), include), end; match != end; ++match) {
        result.append(last, (*match)[0].first);
        last = (*match)[0].second;
        auto found = files.find((*match)[2].str());
        if (found == files.end() || depth > 8) {
            ADD_FAILURE() << "include of a missing page: " << (*match)[2].str();
            continue;
        }
        result += ExpandIncludes(found->second, files, depth + 1);
    }
    result.append(last, page.cend());
    return result;
}

/// The VBScript program the web server makes of an ASP page: text between the blocks becomes
/// Response.Write of a literal, "<%= x %>" Response.Write of x, the page directive goes. A marker
/// error is raised first (after Option Explicit), so that adding the program compiles it whole
/// and runs nothing.
std::string AspProgram(const std::string& page) {
    std::string program;
    bool codeSeen = false;
    std::size_t position = 0;
    auto writeText = [&](std::string_view text) {
        if (!codeSeen && text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
            return;
        }
        std::string literal = "\"";
        for (char c : text) {
            if (c == '"') {
                literal += "\"\"";
            } else if (c == '\r') {
                literal += "\" & vbCr & \"";
            } else if (c == '\n') {
                literal += "\" & vbLf & \"";
            } else {
                literal += c;
            }
        }
        program += "Response.Write " + literal + "\"\r\n";
    };
    while (position < page.size()) {
        const std::size_t open = page.find("<%", position);
        writeText(std::string_view(page).substr(position, open == std::string::npos ? std::string::npos
                                                                                    : open - position));
        if (open == std::string::npos) {
            break;
        }
        const std::size_t close = page.find("%>", open + 2);
        if (close == std::string::npos) {
            ADD_FAILURE() << "a server block is not closed";
            break;
        }
        const std::string code = page.substr(open + 2, close - open - 2);
        if (code.starts_with("@")) {
            // The page directive.
        } else if (code.starts_with("=")) {
            program += "Response.Write (" + code.substr(1) + ")\r\n";
            codeSeen = true;
        } else {
            program += code + "\r\n";
            codeSeen = true;
        }
        position = close + 2;
    }
    const std::string marker = "Err.Raise " + std::to_string(NotRunMarker) + "\r\n";
    const std::regex optionExplicit(R"(^\s*Option\s+Explicit[ \t]*\r\n)", std::regex::icase);
    std::smatch match;
    if (std::regex_search(program, match, optionExplicit)) {
        return program.substr(0, match.length()) + marker + program.substr(match.length());
    }
    return marker + program;
}

class DemoSite : public DemoSiteTest {
protected:
    std::map<std::string, std::string> PagesAsUtf8() const {
        std::map<std::string, std::string> files;
        for (const auto& [name, page] : mPages) {
            files[name] = ToUtf8(page.text);
        }
        return files;
    }
    static bool Contains(std::u16string_view text, std::string_view part) {
        return text.find(FromUtf8(part)) != std::u16string_view::npos;
    }
};

TEST_F(DemoSite, DatabaseHasTheShopTablesTypesAndKeys) {
    QelTables& tables = *mProject->db()->tables();
    for (std::u16string_view name : {u"customers", u"products", u"orders", u"order_lines", u"order_totals"}) {
        EXPECT_NE(tables.Find(name), nullptr) << ToUtf8(name);
    }
    ASSERT_NE(tables.Find(u"order_lines"), nullptr);
    EXPECT_EQ(tables.Find(u"order_lines")->TblKey(), u"line_no\r\norder_id");
    ASSERT_NE(tables.Find(u"order_totals"), nullptr);
    EXPECT_EQ(tables.Find(u"order_totals")->TblType(), u"VIEW");
}

TEST_F(DemoSite, EveryControlMakesItsPages) {
    std::set<std::string> expected{"qvcfg.asp",   "qvfn.asp",  "qvheader.asp", "qvfooter.asp",
                                   "default.asp", "about.asp", "web.config",   "qvstyle.css"};
    for (const char* table : {"customers", "products", "orders", "order_lines"}) {
        for (const char* page : {"list", "view", "add", "edit", "delete", "search", "export"}) {
            expected.insert(std::string(table) + page + ".asp");
        }
    }
    // A view has no key: it is listed, searched and exported, never edited.
    for (const char* page : {"list", "search", "export"}) {
        expected.insert(std::string("order_totals") + page + ".asp");
    }
    expected.insert("products_picturepicture.asp");
    expected.insert("order_linesreport.asp");
    std::set<std::string> made;
    for (const auto& [name, page] : mPages) {
        made.insert(name);
    }
    EXPECT_EQ(made, expected);
}

TEST_F(DemoSite, ServerCodeOfEveryPageCompiles) {
    const auto files = PagesAsUtf8();
    int compiled = 0;
    for (const auto& [name, text] : files) {
        if (!name.ends_with(".asp") || name.starts_with("qvcfg") || name.starts_with("qvfn") ||
            name.starts_with("qvheader") || name.starts_with("qvfooter")) {
            continue;
        }
        SCOPED_TRACE(name);
        const std::u16string program = FromUtf8(AspProgram(ExpandIncludes(text, files)));
        vbscript::ScriptControl engine;
        for (std::u16string_view object : {u"Request", u"Response", u"Server", u"Session", u"Application"}) {
            engine.AddObject(object, MakeRef<ServerObject>());
        }
        try {
            engine.AddCode(u"Global", program);
            ADD_FAILURE() << "the marker did not stop the page";
        } catch (const automation::Error&) {
            const vbscript::ScriptError& error = engine.Error();
            EXPECT_EQ(error.number, NotRunMarker)
                << ToUtf8(error.source) << " " << error.number << ": " << ToUtf8(error.description)
                << "\nline " << error.line << ": " << ToUtf8(error.text);
        }
        ++compiled;
    }
    EXPECT_EQ(compiled, 35);
}

// SQL text is made of the template's own literals; what a request brings travels as a parameter.
TEST_F(DemoSite, RequestValuesReachTheDatabaseOnlyAsParameters) {
    const std::regex sqlBuilding(R"((CommandText|qvNewCommand|sWhere =|sOrder =))");
    for (const auto& [name, text] : PagesAsUtf8()) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (std::regex_search(line, sqlBuilding)) {
                EXPECT_EQ(line.find("Request"), std::string::npos) << name << ": " << line;
                EXPECT_EQ(line.find("sValue"), std::string::npos) << name << ": " << line;
            }
        }
    }
    // Identifiers carry the database's quote characters, doubled inside the VBScript literal.
    const std::u16string& edit = Page("order_linesedit.asp");
    EXPECT_TRUE(Contains(edit, R"(UPDATE ""order_lines"" SET ""product_id"" = ?, ""quantity"" = ?, )"
                               R"(""unit_price"" = ? WHERE ""order_id"" = ? AND ""line_no"" = ?)"))
        << ToUtf8(edit);
    EXPECT_TRUE(Contains(Page("customerslist.asp"), R"(sWhere = sWhere & " AND ""name"" LIKE ?")"));
}

TEST_F(DemoSite, LinksAndIncludesReachGeneratedFiles) {
    const std::regex link(R"x((href|src|action)="([A-Za-z0-9_./]+\.(asp|css|svg))[?"])x");
    const std::set<std::string> images{"images/logo.svg", "images/sort_asc.svg", "images/sort_desc.svg"};
    for (const auto& [name, text] : PagesAsUtf8()) {
        for (std::sregex_iterator match(text.begin(), text.end(), link), end; match != end; ++match) {
            const std::string target = (*match)[2].str();
            EXPECT_TRUE(mPages.contains(target) || images.contains(target)) << name << " links to " << target;
            if (target.starts_with("images/")) {
                EXPECT_TRUE(std::filesystem::exists(mTemplateFolder / target)) << target;
            }
        }
        ExpandIncludes(text, PagesAsUtf8());
    }
}

TEST_F(DemoSite, MasterRecordsLinkToTheirDetailRecords) {
    const std::u16string& view = Page("ordersview.asp");
    EXPECT_TRUE(
        Contains(view, R"x("order_lineslist.asp?master=orders" & "&fk_order_id=" & qvUrl(rs("order_id")))x"))
        << ToUtf8(view);
    const std::u16string& list = Page("order_lineslist.asp");
    EXPECT_TRUE(Contains(list, R"(If Request.QueryString("master") = "orders" Then)"));
    EXPECT_TRUE(Contains(list, R"(sWhere = sWhere & " AND ""order_id"" = ?")"));
    // A table that is no detail has no master filter.
    EXPECT_FALSE(Contains(Page("productslist.asp"), "QueryString(\"master\")"));
}

TEST_F(DemoSite, ExtensionAddsChangesAndDeletes) {
    // Added control and session: an export page per list, linked before the footer.
    EXPECT_TRUE(Contains(Page("customersexport.asp"), "Response.ContentType = \"text/csv\""));
    const std::u16string& list = Page("customerslist.asp");
    const auto exportLink = list.find(u"<a href=\"customersexport.asp\">Export to CSV</a>");
    ASSERT_NE(exportLink, std::u16string::npos);
    EXPECT_LT(exportLink, list.find(u"<!--#include file=\"qvfooter.asp\"-->"));
    // Changed session: numbered page links instead of first/previous/next/last.
    EXPECT_TRUE(Contains(list, "For nPageLink = 1 To nPageCount"));
    EXPECT_FALSE(Contains(list, "qvPageLink(nPage - 1)"));
    // Deleted session, replaced control, overridden phrase and the user code's footer hook.
    EXPECT_FALSE(Contains(Page("default.asp"), "class=\"qv-tip\""));
    EXPECT_TRUE(Contains(Page("about.asp"), "About this site and its exports"));
    EXPECT_EQ(GetLanguage().Phrase(u"Tip"), u"Tip: every list can be downloaded as a CSV file.");
    EXPECT_TRUE(Contains(Page("qvfooter.asp"), "Lists can be exported as CSV."));
}

TEST_F(DemoSite, FormsFollowTheColumnKinds) {
    const std::u16string& add = Page("customersadd.asp");
    EXPECT_TRUE(Contains(add, R"(<input type="date" id="x_joined" name="x_joined")"));
    EXPECT_TRUE(Contains(add, R"(<input type="checkbox" id="x_vip" name="x_vip" value="1")"));
    EXPECT_TRUE(Contains(add, R"(<textarea id="x_notes" name="x_notes")"));
    EXPECT_TRUE(Contains(add, R"(maxlength="60")"));
    // The counter is the database's to fill.
    EXPECT_FALSE(Contains(add, R"(name="x_customer_id")"));
    EXPECT_TRUE(Contains(add, "If Not qvTokenOk() Then"));
    // The report groups by the order and sums the quantities.
    const std::u16string& report = Page("order_linesreport.asp");
    EXPECT_TRUE(Contains(report, R"(qvGroupKey = qvGroupKey & "|" & qvFormatValue(rs("order_id"), "int"))"));
    EXPECT_TRUE(Contains(report, R"(nSum4 = nSum4 + rs("quantity"))"));
    // Binary columns are shown through their picture page.
    EXPECT_TRUE(Contains(Page("productsview.asp"), R"(<img src="products_picturepicture.asp?)"));
}

} // namespace
} // namespace qv::test::templates
