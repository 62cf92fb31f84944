// vbs: runs a VBScript file. Scripts see a WScript object with Echo (its arguments joined by
// blanks, one line each call), Quit [code], ScriptName and Arguments(i)/Arguments.Count. Syntax
// and runtime errors print with their line, column and text, and the exit status is non-zero.
// The file may be UTF-8, UTF-16 with a byte-order mark, or in the ANSI code page of the system
// layer (bytes that are not UTF-8 are read through it).

#include "platform/vbscript/ScriptControl.h"

#include "platform/system/CodePage.h"
#include "platform/system/TextFile.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

namespace {

using qv::automation::ClassInfo;
using qv::automation::MemberInfo;
using qv::automation::Object;
using qv::automation::Ref;
using qv::automation::Variant;

/// Thrown by WScript.Quit; ends the run through every script frame.
struct QuitRequest {
    int status = 0;
};

class Arguments final : public Object {
public:
    explicit Arguments(std::vector<std::u16string> values) : mValues(std::move(values)) {}

    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(
            u"Arguments", {
                              qv::automation::Default(qv::automation::Method<&Arguments::Item>(u"Item")),
                              qv::automation::Method<&Arguments::Count>(u"Count"),
                          });
        return info;
    }
    std::u16string Item(std::int32_t index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= mValues.size()) {
            qv::automation::Raise(qv::automation::ErrorNumber::SubscriptOutOfRange);
        }
        return mValues[static_cast<std::size_t>(index)];
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(mValues.size()); }

private:
    std::vector<std::u16string> mValues;
};

class WScript final : public Object {
public:
    WScript(std::u16string scriptName, std::vector<std::u16string> arguments)
        : mScriptName(std::move(scriptName)),
          mArguments(qv::automation::MakeRef<Arguments>(std::move(arguments))) {}

    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"WScript",
                                    {
                                        MemberInfo{u"Echo", &WScript::Echo, nullptr, nullptr, 0, 127},
                                        MemberInfo{u"Quit", &WScript::Quit, nullptr, nullptr, 0, 1},
                                        qv::automation::Method<&WScript::ScriptName>(u"ScriptName"),
                                        qv::automation::Method<&WScript::GetArguments>(u"Arguments"),
                                    });
        return info;
    }
    std::u16string ScriptName() const { return mScriptName; }
    Ref<Arguments> GetArguments() const { return mArguments; }

private:
    static Variant Echo(Object&, std::span<Variant> args) {
        std::u16string line;
        for (std::size_t index = 0; index < args.size(); ++index) {
            if (index > 0) {
                line += u' ';
            }
            const Variant& value = args[index].Deref();
            if (!value.IsNull()) {
                line += qv::automation::ToString(qv::automation::DefaultValue(value));
            }
        }
        std::cout << qv::automation::ToUtf8(line) << '\n';
        return Variant();
    }
    static Variant Quit(Object&, std::span<Variant> args) {
        std::cout.flush();
        throw QuitRequest{args.empty() || args[0].IsMissing() ? 0 : qv::automation::ToLong(args[0])};
    }

    std::u16string mScriptName;
    Ref<Arguments> mArguments;
};

/// The bytes of a script file, or why there are none.
std::variant<std::string, std::string> ReadScriptBytes(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) {
        return std::variant<std::string, std::string>(std::in_place_index<1>, "no such file");
    }
    if (fs::is_directory(status)) {
        return std::variant<std::string, std::string>(std::in_place_index<1>,
                                                      "is a folder, not a script file");
    }
    if (!fs::is_regular_file(status)) {
        // A device or a pipe may never end (/dev/zero); scripts are files.
        return std::variant<std::string, std::string>(std::in_place_index<1>, "is not a regular file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::variant<std::string, std::string>(std::in_place_index<1>, "cannot be opened");
    }
    // Read at the file's size in one block, so that a long script is held once, not grown by
    // doubling, and read at the speed of the disk rather than byte by byte; what a file that grew
    // meanwhile has besides follows.
    std::string bytes;
    const std::uintmax_t size = fs::file_size(path, error);
    if (!error) {
        bytes.resize(static_cast<std::size_t>(size));
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        in.clear(in.rdstate() & ~(std::ios::eofbit | std::ios::failbit));
    }
    bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::variant<std::string, std::string>(std::in_place_index<1>, "cannot be read");
    }
    return std::variant<std::string, std::string>(std::in_place_index<0>, std::move(bytes));
}

/// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
/// U+10FFFF).
bool IsUtf8(std::string_view bytes) {
    std::size_t index = 0;
    while (index < bytes.size()) {
        // Eight bytes at a time while they are ASCII, as most of a script is.
        std::uint64_t eight = 0;
        while (
            index + sizeof eight <= bytes.size() &&
            (std::memcpy(&eight, bytes.data() + index, sizeof eight), (eight & 0x8080808080808080u) == 0)) {
            index += sizeof eight;
        }
        if (index == bytes.size()) {
            break;
        }
        const auto lead = static_cast<unsigned char>(bytes[index]);
        if (lead < 0x80) {
            ++index;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t value = 0;
        std::uint32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, value = lead & 0x1Fu, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, value = lead & 0x0Fu, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, value = lead & 0x07u, minimum = 0x10000;
        } else {
            return false;
        }
        if (index + length > bytes.size()) {
            return false;
        }
        for (std::size_t offset = 1; offset < length; ++offset) {
            const auto next = static_cast<unsigned char>(bytes[index + offset]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (next & 0x3Fu);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        index += length;
    }
    return true;
}

/// The text of a script: by its byte-order mark, else UTF-8 when the bytes are, else the ANSI
/// code page.
std::u16string DecodeScript(const std::string& bytes) {
    constexpr int Utf8CodePage = 65001;
    const bool hasBom =
        bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (!hasBom && IsUtf8(bytes)) {
        // Straight into its one copy: a long script is compiled under the memory ceiling, and what
        // the runner holds besides counts against the process all the same.
        return qv::automation::FromUtf8(bytes);
    }
    return qv::system::DecodeText(bytes, hasBom ? Utf8CodePage : qv::system::AnsiCodePage()).text;
}

/// A whole positive number of an option, or nullopt.
std::optional<std::int64_t> ParseCount(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

void PrintError(const std::string& path, const qv::vbscript::ScriptError& error) {
    std::cerr << path;
    if (error.line > 0) {
        std::cerr << '(' << error.line << ", " << error.column << ')';
    }
    std::cerr << ": " << qv::automation::ToUtf8(error.source) << ": "
              << qv::automation::ToUtf8(error.description) << " (" << error.number << ")\n";
    if (!error.text.empty()) {
        std::cerr << "    " << qv::automation::ToUtf8(error.text) << '\n';
    }
}

} // namespace

constexpr const char* Usage =
    "usage: vbs [--timeout MS] [--memory MB] SCRIPT.vbs [ARGUMENT...]\n"
    "Runs a VBScript file; WScript.Echo prints a line, WScript.Quit ends with a status.\n"
    "  --timeout MS  stop the script after MS milliseconds (default: no limit)\n"
    "  --memory MB   the script may hold at most MB megabytes; beyond that the script\n"
    "                gets error 7 \"Out of memory\" (default: 1024, or a quarter of the memory\n"
    "                of a smaller machine)\n";

int main(int argc, char** argv) {
    std::int32_t timeout = 0;
    std::size_t memoryCeiling = 0;
    int first = 1;
    // Each option takes the number after it.
    for (; first < argc; first += 2) {
        const std::string option = argv[first];
        if (option == "--help" || option == "-h") {
            std::cout << Usage;
            return 0;
        }
        if (option != "--timeout" && option != "--memory") {
            break;
        }
        const std::optional<std::int64_t> value =
            first + 1 < argc ? ParseCount(argv[first + 1]) : std::nullopt;
        if (!value || *value == 0 || (option == "--timeout" && *value > INT32_MAX) ||
            (option == "--memory" && *value > (std::int64_t{1} << 40))) {
            std::cerr << "vbs: " << option << " needs a whole number above zero\n" << Usage;
            return 2;
        }
        if (option == "--timeout") {
            timeout = static_cast<std::int32_t>(*value);
        } else {
            memoryCeiling = static_cast<std::size_t>(*value) << 20;
        }
    }
    if (first >= argc) {
        std::cerr << Usage;
        return 2;
    }
    const std::string path = argv[first];
    std::u16string script;
    {
        std::variant<std::string, std::string> bytes = ReadScriptBytes(path);
        if (bytes.index() == 1) {
            std::cerr << "vbs: " << path << ": " << std::get<1>(bytes) << '\n';
            return 2;
        }
        script = DecodeScript(std::get<0>(bytes));
    }
    std::vector<std::u16string> arguments;
    for (int index = first + 1; index < argc; ++index) {
        arguments.push_back(qv::automation::FromUtf8(argv[index]));
    }
    std::u16string name = qv::automation::FromUtf8(path.substr(path.find_last_of("/\\") + 1));

    qv::vbscript::ScriptControl control;
    control.SetTimeout(timeout);
    control.SetMemoryCeiling(memoryCeiling);
    control.AddObject(u"WScript", qv::automation::MakeRef<WScript>(name, std::move(arguments)));
    // The end of the run, after success or an error: Class_Terminate of what the script still
    // holds runs here, within the run's time-out, while WScript.Quit can still end it. A
    // teardown the time-out stopped fails the run, unless the run itself had timed out.
    const auto finish = [&control, &path](int status) {
        const bool timedOut = status != 0 && control.Error().number == qv::vbscript::TimeoutErrorNumber;
        try {
            control.Reset();
        } catch (const qv::automation::Error&) {
            std::cout.flush();
            if (!timedOut) {
                PrintError(path, control.Error());
            }
            status = 1;
        } catch (const QuitRequest& quit) {
            status = quit.status;
        }
        std::cout.flush();
        return status;
    };
    try {
        control.AddCode(qv::vbscript::ScriptControl::GlobalModuleName, script);
    } catch (const qv::automation::Error&) {
        // What the script printed comes before the error.
        std::cout.flush();
        PrintError(path, control.Error());
        return finish(1);
    } catch (const QuitRequest& quit) {
        return finish(quit.status);
    }
    return finish(0);
}
