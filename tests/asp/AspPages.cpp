#include "AspPages.h"

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string_view>

namespace qv::test {

namespace fs = std::filesystem;

namespace {

constexpr int MaxIncludeDepth = 16;
constexpr std::int32_t NotRunMarker = 31999;

/// An object of the web server (Request, Response...) that the compiled pages name; the pages
/// are compiled, never run, so it has no members.
class ServerObject final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"ServerObject", {});
        return info;
    }
};

std::string ReadText(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(stream), {});
    // A byte-order mark belongs to the file, not to the page.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return text;
}

std::string Expand(const fs::path& page, const fs::path& siteRoot, int depth,
                   std::vector<std::string>& missing) {
    static const std::regex include(R"re(<!--\s*#include\s+(file|virtual)\s*=\s*"([^"]*)"\s*-->)re",
                                    std::regex::icase);
    const std::string text = ReadText(page);
    std::string expanded;
    auto position = text.cbegin();
    for (std::sregex_iterator match(text.begin(), text.end(), include), end; match != end; ++match) {
        expanded.append(position, text.cbegin() + match->position());
        position = text.cbegin() + match->position() + match->length();
        std::string name = (*match)[2].str();
        std::replace(name.begin(), name.end(), '\\', '/');
        const bool isVirtual = (*match)[1].str().size() == 7;
        const fs::path included =
            isVirtual ? siteRoot / fs::path(name).relative_path() : page.parent_path() / fs::path(name);
        if (depth >= MaxIncludeDepth || !fs::is_regular_file(included)) {
            missing.push_back(name);
            continue;
        }
        expanded += Expand(included, siteRoot, depth + 1, missing);
    }
    expanded.append(position, text.cend());
    return expanded;
}

std::string VbLiteral(std::string_view text) {
    std::string literal = "\"";
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            literal += "\"\"";
        } else if (c == '\r') {
            literal += "\" & vbCr & \"";
        } else if (c == '\n') {
            literal += "\" & vbLf & \"";
        } else if (text.substr(at, 3) == "\xE2\x80\xA8" || text.substr(at, 3) == "\xE2\x80\xA9") {
            // The Unicode line and paragraph separators end a line of script as well; the server
            // sends the page's text as it is.
            literal += text[at + 2] == '\xA8' ? "\" & ChrW(8232) & \"" : "\" & ChrW(8233) & \"";
            at += 2;
        } else {
            literal += c;
        }
    }
    return literal + "\"";
}

} // namespace

std::string ExpandAspIncludes(const fs::path& page, const fs::path& siteRoot,
                              std::vector<std::string>& missing) {
    return Expand(page, siteRoot, 0, missing);
}

std::string AspScript(const std::string& page) {
    std::string program;
    std::size_t position = 0;
    // Every character outside the blocks reaches the browser, also the line breaks between
    // blocks and includes: a CSV or picture page must not start with them.
    auto writeText = [&](std::string_view text) {
        if (!text.empty()) {
            program += "Response.Write " + VbLiteral(text) + "\r\n";
        }
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
            program += "an unterminated server block\r\n";
            break;
        }
        const std::string code = page.substr(open + 2, close - open - 2);
        position = close + 2;
        if (code.starts_with("@")) {
            // The line break that ends the directive's line is the directive's own.
            if (page.compare(position, 2, "\r\n") == 0) {
                position += 2;
            } else if (page.compare(position, 1, "\n") == 0) {
                position += 1;
            }
            continue;
        }
        program += code.starts_with("=") ? "Response.Write (" + code.substr(1) + ")\r\n" : code + "\r\n";
    }
    return program;
}

std::string AspProgram(const std::string& page) {
    const std::string program = AspScript(page);
    const std::string marker = "Err.Raise " + std::to_string(NotRunMarker) + "\r\n";
    const std::regex optionExplicit(R"(^\s*Option\s+Explicit[ \t]*\r\n)", std::regex::icase);
    std::smatch match;
    if (std::regex_search(program, match, optionExplicit)) {
        return program.substr(0, match.length()) + marker + program.substr(match.length());
    }
    return marker + program;
}

std::vector<std::string> AspCompileFailures(const fs::path& siteRoot) {
    std::vector<fs::path> pages;
    for (const auto& entry : fs::recursive_directory_iterator(siteRoot)) {
        if (entry.is_regular_file() && entry.path().extension() == ".asp") {
            pages.push_back(entry.path());
        }
    }
    std::sort(pages.begin(), pages.end());
    std::vector<std::string> failures;
    for (const fs::path& page : pages) {
        const std::string name = fs::relative(page, siteRoot).generic_string();
        std::vector<std::string> missing;
        const std::u16string program =
            automation::FromUtf8(AspProgram(ExpandAspIncludes(page, siteRoot, missing)));
        for (const std::string& include : missing) {
            failures.push_back(name + ": include of a missing file ");
            failures.back() += include;
        }
        vbscript::ScriptControl engine;
        for (std::u16string_view object : {u"Request", u"Response", u"Server", u"Session", u"Application"}) {
            engine.AddObject(object, automation::MakeRef<ServerObject>());
        }
        try {
            engine.AddCode(u"Global", program);
            failures.push_back(name + ": the page ran past the marker that stops it");
        } catch (const automation::Error&) {
            const vbscript::ScriptError& error = engine.Error();
            if (error.number != NotRunMarker) {
                failures.push_back(name + ": script line " + std::to_string(error.line) + ": " +
                                   automation::ToUtf8(error.description) + ": " +
                                   automation::ToUtf8(error.text));
            }
        }
    }
    return failures;
}

} // namespace qv::test
