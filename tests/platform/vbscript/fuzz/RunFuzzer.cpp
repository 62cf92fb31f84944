// libFuzzer target: hostile script text compiled and run by a script control with a short
// time-out and a memory ceiling far below the fuzzer's memory limit. Whatever the text does, the
// engine must end with a result or an error record, never a crash, a hang, a leak or memory
// beyond the ceiling. Built only with -DQV_FUZZ=ON and clang; the fuzz_vbscript_run
// target runs it with the same seeds as the parser's.

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text =
        qv::automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    qv::vbscript::ScriptControl control;
    control.SetTimeout(50);
    control.SetMemoryCeiling(std::size_t{256} << 20);
    try {
        control.AddCode(u"Global", text);
    } catch (const qv::automation::Error&) {
    }
    return 0;
}
