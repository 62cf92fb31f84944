// libFuzzer target: hostile script text through the lexer, the parser and the compiler. None of
// them may crash, hang or leak; every fault must come out as a CompileError. Built only with
// -DQV_FUZZ=ON and clang; the fuzz_vbscript_parser target runs it seeded with the script tests
// (tests/platform/vbscript/scripts) and the extra inputs of tests/platform/vbscript/fuzz-corpus.

#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/internal/Compiler.h"
#include "platform/vbscript/internal/Parser.h"

#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text = automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    auto source = automation::MakeRef<vbscript::SourceText>(text);
    // Built once: the library's tables are read-only.
    static const vbscript::BuiltinRegistry builtins;
    auto names = automation::MakeRef<vbscript::NameTable>();
    vbscript::Module global(u"Global");
    vbscript::Module module(u"System");
    try {
        vbscript::Parser parser(source->Text());
        vbscript::Program program = parser.ParseProgram();
        vbscript::Compiler compiler(vbscript::CompileTarget{*names, builtins, module, global}, source);
        compiler.CompileChunk(program);
    } catch (const vbscript::CompileError&) {
    }
    try {
        vbscript::Parser parser(source->Text());
        vbscript::ExprPtr expr = parser.ParseStandaloneExpression();
        vbscript::Compiler compiler(vbscript::CompileTarget{*names, builtins, module, global}, source);
        compiler.CompileEval(*expr, nullptr);
    } catch (const vbscript::CompileError&) {
    }
    return 0;
}
