// Runs every .vbs file under scripts/ as its own test. A script checks itself through the host
// object "Test" (Test.Equal, Test.IsTrue, Test.Fail); its output (Test.Echo, Test.Write) must
// match the .out file beside it when there is one. A header line
//     ' expect-error: NUMBER line LINE: DESCRIPTION
// says that the script must stop with that error, and
//     ' timeout: MILLISECONDS
// sets the engine's time-out, and
//     ' memory: MEGABYTES
// its memory ceiling, so that out-of-memory cases stay cheap.

#include "ScriptTestHost.h"

#include "platform/vbscript/ScriptControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>

namespace qv::vbscript::test {
namespace {

namespace fs = std::filesystem;

fs::path ScriptRoot() {
    return fs::path(QV_TEST_DATA_DIR) / "scripts";
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Expected-output files are compared without regard to line-end style.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::vector<fs::path> FindScripts() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(ScriptRoot())) {
        if (entry.is_regular_file() && entry.path().extension() == ".vbs") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string TestName(const fs::path& path) {
    std::string name = fs::relative(path, ScriptRoot()).replace_extension().generic_string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

struct ExpectedError {
    std::int32_t number = 0;
    std::int32_t line = 0;
    std::string description;
};

class ScriptFiles : public ::testing::TestWithParam<fs::path> {};

TEST_P(ScriptFiles, Runs) {
    const fs::path& path = GetParam();
    std::string source = ReadText(path);

    std::optional<ExpectedError> expected;
    // Two minutes unless the script says otherwise: a time-out that only a script that never ends
    // meets, however busy the machine (out_of_memory.vbs works for seconds under the sanitizers).
    std::int32_t timeout = 120000;
    std::smatch match;
    static const std::regex errorLine(R"(' expect-error: (-?\d+) line (\d+): ([^\n]*))");
    static const std::regex timeoutLine(R"(' timeout: (\d+))");
    if (std::regex_search(source, match, errorLine)) {
        expected = ExpectedError{std::stoi(match[1]), std::stoi(match[2]), match[3]};
    }
    if (std::regex_search(source, match, timeoutLine)) {
        timeout = std::stoi(match[1]);
    }
    std::size_t memoryMegabytes = 0;
    static const std::regex memoryLine(R"(' memory: (\d+))");
    if (std::regex_search(source, match, memoryLine)) {
        memoryMegabytes = static_cast<std::size_t>(std::stoul(match[1]));
    }

    auto host = MakeRef<ScriptTestHost>();
    ScriptControl control;
    control.SetTimeout(timeout);
    control.SetMemoryCeiling(memoryMegabytes << 20);
    control.AddObject(u"Test", host);
    bool failed = false;
    try {
        control.AddCode(ScriptControl::GlobalModuleName, automation::FromUtf8(source));
    } catch (const automation::Error& error) {
        failed = true;
        const ScriptError& record = control.Error();
        if (!expected) {
            ADD_FAILURE() << "error " << record.number << " at line " << record.line << ": "
                          << automation::ToUtf8(record.description) << "\n    "
                          << automation::ToUtf8(record.text);
        } else {
            EXPECT_EQ(record.number, expected->number);
            EXPECT_EQ(record.line, expected->line) << automation::ToUtf8(record.text);
            EXPECT_EQ(automation::ToUtf8(record.description), expected->description);
            EXPECT_EQ(error.Number(), record.number);
        }
    }
    if (expected && !failed) {
        ADD_FAILURE() << "expected error " << expected->number << " did not happen";
    }
    for (const std::string& failure : host->Failures()) {
        ADD_FAILURE() << failure;
    }
    fs::path outFile = fs::path(path).replace_extension(".out");
    if (fs::exists(outFile)) {
        std::string output = automation::ToUtf8(host->Output());
        output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());
        EXPECT_EQ(output, ReadText(outFile));
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptFiles, ::testing::ValuesIn(FindScripts()),
                         [](const ::testing::TestParamInfo<fs::path>& info) { return TestName(info.param); });

} // namespace
} // namespace qv::vbscript::test
