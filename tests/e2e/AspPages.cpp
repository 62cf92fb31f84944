#include "AspPages.h"

#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/internal/Compiler.h"
#include "platform/vbscript/internal/Parser.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

namespace qv::test {

namespace fs = std::filesystem;

namespace {

constexpr int MaxIncludeDepth = 16;

std::string ReadText(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(stream), {});
    // A byte-order mark belongs to the file, not to the page.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return text;
}

/// The page text with its server-side includes put in place.
std::string ExpandIncludes(const fs::path& page, const fs::path& siteRoot, int depth) {
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
            expanded += "<% missing include " + name + " %>";
            continue;
        }
        expanded += ExpandIncludes(included, siteRoot, depth + 1);
    }
    expanded.append(position, text.cend());
    return expanded;
}

} // namespace

std::string AspServerScript(const fs::path& page, const fs::path& siteRoot) {
    const std::string text = ExpandIncludes(page, siteRoot, 0);
    std::string script;
    std::size_t position = 0;
    while ((position = text.find("<%", position)) != std::string::npos) {
        const std::size_t end = text.find("%>", position + 2);
        if (end == std::string::npos) {
            script += "\nunterminated <% block\n";
            break;
        }
        std::string code = text.substr(position + 2, end - position - 2);
        position = end + 2;
        if (!code.empty() && code.front() == '@') {
            continue;
        }
        if (!code.empty() && code.front() == '=') {
            code = "Response.Write (" + code.substr(1) + ")";
        }
        script += code;
        script += "\n";
    }
    return script;
}

std::vector<std::string> AspCompileFailures(const fs::path& siteRoot) {
    static const vbscript::BuiltinRegistry builtins;
    std::vector<std::string> failures;
    std::vector<fs::path> pages;
    for (const auto& entry : fs::recursive_directory_iterator(siteRoot)) {
        if (entry.is_regular_file() && entry.path().extension() == ".asp") {
            pages.push_back(entry.path());
        }
    }
    std::sort(pages.begin(), pages.end());
    for (const fs::path& page : pages) {
        auto source =
            automation::MakeRef<vbscript::SourceText>(automation::FromUtf8(AspServerScript(page, siteRoot)));
        auto names = automation::MakeRef<vbscript::NameTable>();
        vbscript::Module global(u"Global");
        vbscript::Module module(u"Page");
        try {
            vbscript::Parser parser(source->Text());
            const vbscript::Program program = parser.ParseProgram();
            vbscript::Compiler compiler(vbscript::CompileTarget{*names, builtins, module, global}, source);
            compiler.CompileChunk(program);
        } catch (const vbscript::CompileError& error) {
            const auto [line, column] = source->LineColumn(error.Offset());
            failures.push_back(fs::relative(page, siteRoot).string() + ": script line " +
                               std::to_string(line) + ": " + automation::ToUtf8(error.Description()) + ": " +
                               automation::ToUtf8(source->LineText(error.Offset())));
        }
    }
    return failures;
}

} // namespace qv::test
