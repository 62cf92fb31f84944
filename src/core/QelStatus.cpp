#include "core/QelStatus.h"

#include "core/Apartment.h"

#include "platform/host/Host.h"
#include "platform/system/Environment.h"
#include "platform/system/FileVersion.h"
#include "platform/system/Paths.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <array>

namespace qv {

using automation::Variant;

namespace {

struct BuiltinCode {
    std::u16string_view key;
    std::u16string_view text;
};

constexpr BuiltinCode BuiltinCodes[] = {
#define QV_BUILTIN_CODE(key, text) {key, text},
#include "core/BuiltinCode.def"
};

} // namespace

std::u16string FrameText(std::u16string_view text) {
    std::u16string framed;
    framed.reserve(text.size() + 1);
    framed.push_back(static_cast<char16_t>(text.size()));
    framed.append(text);
    return framed;
}

std::u16string_view UnframeText(std::u16string_view text) noexcept {
    if (!text.empty() && static_cast<std::size_t>(text.front()) == text.size() - 1) {
        return text.substr(1);
    }
    return text;
}

QelStatus& GetStatus() {
    ModuleState& state = State();
    if (!state.gStatus) {
        state.gStatus = automation::MakeRef<QelStatus>();
    }
    return *state.gStatus;
}

const automation::ClassInfo& QelStatus::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(u"QelStatus", {
                                                  Method<&QelStatus::mj1>(u"mj1"),
                                                  Method<&QelStatus::mj2>(u"mj2"),
                                                  Method<&QelStatus::mn1>(u"mn1"),
                                                  Method<&QelStatus::mn2>(u"mn2"),
                                                  Method<&QelStatus::DispStatusMember>(u"DispStatus"),
                                                  Method<&QelStatus::ShowStatusMember>(u"ShowStatus"),
                                                  Method<&QelStatus::ShowStatus2Member>(u"ShowStatus2"),
                                                  Method<&QelStatus::ShowStatus3Member>(u"ShowStatus3"),
                                                  Method<&QelStatus::StatusIsCancelled>(u"StatusIsCancelled"),
                                                  Method<&QelStatus::CloseStatus>(u"CloseStatus"),
                                                  Method<&QelStatus::SetStatusMember>(u"SetStatus"),
                                                  Method<&QelStatus::GetVerMember>(u"GetVer"),
                                                  Method<&QelStatus::GetSysCodeMember>(u"GetSysCode"),
                                              });
    return info;
}

void QelStatus::Show(int style, std::int32_t /*window*/, std::u16string_view caption) {
    // A second window would replace the first without closing it and leave it behind.
    CloseStatus();
    CurrentHost().ShowProgress(static_cast<host::ProgressStyle>(style), UnframeText(caption));
    mProgressHandle = 1;
}

void QelStatus::ShowStatus(std::int32_t window, std::u16string_view caption) {
    Show(static_cast<int>(host::ProgressStyle::Standard), window, caption);
}

void QelStatus::ShowStatus2(std::int32_t window, std::u16string_view caption) {
    Show(static_cast<int>(host::ProgressStyle::Busy), window, caption);
}

void QelStatus::ShowStatus3(std::int32_t window, std::u16string_view caption) {
    Show(static_cast<int>(host::ProgressStyle::Cancellable), window, caption);
}

void QelStatus::DispStatus(std::u16string_view text) {
    if (IsOpen()) {
        CurrentHost().SetProgressInfo(text);
    }
}

void QelStatus::SetStatus(std::int16_t percent) {
    if (IsOpen()) {
        CurrentHost().SetProgressPercent(percent);
    }
}

bool QelStatus::StatusIsCancelled() {
    return CurrentHost().IsCancelled();
}

void QelStatus::CloseStatus() {
    if (!IsOpen()) {
        return;
    }
    mProgressHandle = 0;
    CurrentHost().CloseProgress();
}

void QelStatus::GetVer(std::u16string_view file) {
    system::FileVersion version;
    if (automation::EqualsNoCase(system::BaseName(file), LibraryFileName)) {
        version = system::LibraryVersion();
    }
    mMajor1 = static_cast<std::int16_t>(version.major);
    mMajor2 = static_cast<std::int16_t>(version.minor);
    mMinor1 = static_cast<std::int16_t>(version.build);
    mMinor2 = static_cast<std::int16_t>(version.revision);
}

std::u16string QelStatus::GetSysCode(std::u16string_view key) const {
    std::u16string padded(key.substr(0, 2));
    padded.resize(2, u' ');
    for (const BuiltinCode& code : BuiltinCodes) {
        if (code.key == padded) {
            return std::u16string(code.text);
        }
    }
    return {};
}

void QelStatus::DispStatusMember(const Variant& text) {
    DispStatus(automation::ToString(text));
}

void QelStatus::ShowStatusMember(const Variant& window, const Variant& caption) {
    ShowStatus(automation::ToLong(window), automation::ToString(caption));
}

void QelStatus::ShowStatus2Member(const Variant& window, const Variant& caption) {
    ShowStatus2(automation::ToLong(window), automation::ToString(caption));
}

void QelStatus::ShowStatus3Member(const Variant& window, const Variant& caption) {
    ShowStatus3(automation::ToLong(window), automation::ToString(caption));
}

void QelStatus::SetStatusMember(const Variant& percent) {
    SetStatus(automation::ToInteger(percent));
}

void QelStatus::GetVerMember(const Variant& file) {
    GetVer(automation::ToString(file));
}

Variant QelStatus::GetSysCodeMember(const Variant& key) const {
    return Variant(GetSysCode(automation::ToString(key)));
}

std::u16string GetWindowsVersionName(WindowsVersion& version) {
    version.name = system::OsVersionName();
    return {};
}

} // namespace qv
