// vbs: runs a VBScript file. Scripts see a WScript object with Echo (its arguments joined by
// blanks, one line each call), Quit [code], ScriptName and Arguments(i)/Arguments.Count. Syntax
// and runtime errors print with their line, column and text, and the exit status is non-zero.

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
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

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
        bytes.erase(0, 3);
    }
    return bytes;
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

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        std::cerr << "usage: vbs SCRIPT.vbs [ARGUMENT...]\n"
                     "Runs a VBScript file; WScript.Echo prints a line, WScript.Quit ends with a status.\n";
        return argc < 2 ? 2 : 0;
    }
    const std::string path = argv[1];
    std::optional<std::string> source = ReadFile(path);
    if (!source) {
        std::cerr << "vbs: cannot read " << path << '\n';
        return 2;
    }
    std::vector<std::u16string> arguments;
    for (int index = 2; index < argc; ++index) {
        arguments.push_back(qv::automation::FromUtf8(argv[index]));
    }
    std::u16string name = qv::automation::FromUtf8(path.substr(path.find_last_of("/\\") + 1));

    qv::vbscript::ScriptControl control;
    control.AddObject(u"WScript", qv::automation::MakeRef<WScript>(name, std::move(arguments)));
    try {
        control.AddCode(qv::vbscript::ScriptControl::GlobalModuleName, qv::automation::FromUtf8(*source));
    } catch (const qv::automation::Error&) {
        std::cout.flush();
        PrintError(path, control.Error());
        return 1;
    } catch (const QuitRequest& quit) {
        std::cout.flush();
        return quit.status;
    }
    return 0;
}
