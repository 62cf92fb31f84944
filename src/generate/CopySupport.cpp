#include "generate/internal/CopySupport.h"

#include "core/Apartment.h"

#include "platform/system/Paths.h"

#include <filesystem>
#include <system_error>

namespace qv {

bool IsSameFile(std::u16string_view first, std::u16string_view second) {
    std::error_code error;
    const bool same =
        std::filesystem::equivalent(system::ToNativePath(first), system::ToNativePath(second), error);
    return !error && same;
}

std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted(u"\"");
    quoted += text;
    quoted += u'"';
    return quoted;
}

void SetCopyFailed(std::u16string_view what, std::u16string_view target, std::u16string_view detail) {
    std::u16string& text = State().gProjErr;
    text = what;
    text += Quoted(target);
    text += u" failed!";
    if (!detail.empty()) {
        text += u" Error = ";
        text += detail;
    }
}

} // namespace qv
