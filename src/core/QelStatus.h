#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// The file name under which the library asks for its own version.
inline constexpr std::u16string_view LibraryFileName = u"qelcls60.dll";

/// A text in the progress window's message form: one character whose code is the text's length,
/// then the text. Callers of ShowStatus pass their captions in this form.
std::u16string FrameText(std::u16string_view text);
/// The text of a framed text; a text that is not framed comes back as it is.
std::u16string_view UnframeText(std::u16string_view text) noexcept;

/// The library's one channel to the progress window that long operations show, drawn by the
/// apartment's host. It keeps whether a window is open, reads file versions and hands out the
/// built-in script code. One per apartment (GetStatus); reachable by clients, not creatable.
class QelStatus final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// The parts of the version read by the last GetVer.
    std::int16_t mj1() const { return mMajor1; }
    std::int16_t mj2() const { return mMajor2; }
    std::int16_t mn1() const { return mMinor1; }
    std::int16_t mn2() const { return mMinor2; }

    /// Shows the information line of the open window; nothing without one.
    void DispStatus(std::u16string_view text);
    /// Opens the progress window in the first, second or third style with a framed caption.
    /// A window still open is closed first, so that no window is ever left behind.
    void ShowStatus(std::int32_t window, std::u16string_view caption);
    void ShowStatus2(std::int32_t window, std::u16string_view caption);
    void ShowStatus3(std::int32_t window, std::u16string_view caption);
    /// Whether the user asked to cancel; the host is asked also when no window is open.
    bool StatusIsCancelled();
    /// Closes the open window; nothing when none is open.
    void CloseStatus();
    /// Sets the progress bar of the open window to a percentage.
    void SetStatus(std::int16_t percent);
    /// Reads the version of a file into mj1, mj2, mn1 and mn2: the library's own version for
    /// LibraryFileName, 0.0.0.0 for any other file (files here carry no version).
    void GetVer(std::u16string_view file);
    /// The built-in script code of a key (cut or padded with blanks to two characters); "" for
    /// a key without code.
    std::u16string GetSysCode(std::u16string_view key) const;

    /// Whether a progress window is open.
    bool IsOpen() const noexcept { return mProgressHandle > 0; }

private:
    void Show(int style, std::int32_t window, std::u16string_view caption);

    // Members the automation table calls: their arguments arrive as variants.
    void DispStatusMember(const automation::Variant& text);
    void ShowStatusMember(const automation::Variant& window, const automation::Variant& caption);
    void ShowStatus2Member(const automation::Variant& window, const automation::Variant& caption);
    void ShowStatus3Member(const automation::Variant& window, const automation::Variant& caption);
    void SetStatusMember(const automation::Variant& percent);
    void GetVerMember(const automation::Variant& file);
    automation::Variant GetSysCodeMember(const automation::Variant& key) const;

    std::int32_t mProgressHandle = 0; ///< above 0 while a window is open
    std::int16_t mMajor1 = 0;
    std::int16_t mMajor2 = 0;
    std::int16_t mMinor1 = 0;
    std::int16_t mMinor2 = 0;
};

/// The apartment's status object (gStatus), created on first use.
QelStatus& GetStatus();

/// The name and version of the operating system (the Windows version record of old). The text
/// result is always empty; callers read nothing from the record.
struct WindowsVersion {
    std::int32_t platform = 0;
    std::u16string name;
    std::u16string version;
    std::u16string servicePack;
    std::u16string build;
};
std::u16string GetWindowsVersionName(WindowsVersion& version);

} // namespace qv
