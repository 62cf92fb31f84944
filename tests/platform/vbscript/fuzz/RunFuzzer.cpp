// libFuzzer target: hostile script text compiled and run by a script control with a short
// time-out and a memory ceiling far below the fuzzer's memory limit. Whatever the text does, the
// engine must end with a result or an error record, never a crash, a hang, a leak or memory
// beyond the ceiling. Built only with -DQV_FUZZ=ON and clang; the fuzz_vbscript_run
// target runs it with the same seeds as the parser's.
//
// A text with a line that starts "'reset" (or "'destroy") runs as a host that keeps script objects
// past the engine: the part above the line runs, the host takes what the variable `keep` holds,
// resets the engine (or ends it and starts another), and gives the kept value to the part below
// as the named object `Kept` (when it is an object) and as the argument of its procedure `Take`.

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace {

using qv::automation::Variant;
using qv::vbscript::ScriptControl;

std::unique_ptr<ScriptControl> NewControl() {
    auto control = std::make_unique<ScriptControl>();
    control->SetTimeout(50);
    control->SetMemoryCeiling(std::size_t{256} << 20);
    return control;
}

// Runs one call of the control; a script's failure is an outcome like any other.
template <class Call> void Attempt(Call&& call) {
    try {
        call();
    } catch (const qv::automation::Error&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text =
        qv::automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<ScriptControl> control = NewControl();
    const std::size_t reset = text.find(u"\n'reset");
    const std::size_t destroy = text.find(u"\n'destroy");
    const std::size_t split = reset < destroy ? reset : destroy;
    if (split == std::u16string::npos) {
        Attempt([&] { control->AddCode(u"Global", text); });
        return 0;
    }
    Attempt([&] { control->AddCode(u"Global", std::u16string_view(text).substr(0, split)); });
    Variant kept;
    Attempt([&] { kept = control->Eval(u"Global", u"keep"); });
    if (split == reset) {
        Attempt([&] { control->Reset(); });
    } else {
        control.reset();
        control = NewControl();
    }
    if (kept.IsObject() && kept.ObjectValue()) {
        control->AddObject(u"Kept", kept.ObjectValue());
    }
    Attempt([&] { control->AddCode(u"Global", std::u16string_view(text).substr(split)); });
    Variant args[] = {kept};
    Attempt([&] { control->Run(u"Global", u"Take", args); });
    return 0;
}
