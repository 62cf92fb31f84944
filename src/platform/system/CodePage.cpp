#include "platform/system/CodePage.h"

#include "platform/system/Environment.h"
#include "platform/system/internal/CodePageTable.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

namespace qv::system {

namespace internal {

namespace {

// The Windows code page numbers with the names glibc gives the same tables. Pages glibc does
// not have (720, the Mac pages but Roman, most EBCDIC pages) are left out rather than served
// by a near match that would change bytes.
constexpr std::array CodePages{
    CodePageInfo{37, u"ibm037", "IBM037", true},
    CodePageInfo{437, u"ibm437", "IBM437", true},
    CodePageInfo{737, u"ibm737", "CP737", true},
    CodePageInfo{775, u"ibm775", "CP775", true},
    CodePageInfo{850, u"ibm850", "CP850", true},
    CodePageInfo{852, u"ibm852", "CP852", true},
    CodePageInfo{855, u"ibm855", "CP855", true},
    CodePageInfo{857, u"ibm857", "CP857", true},
    CodePageInfo{858, u"ibm00858", "CP858", true},
    CodePageInfo{860, u"ibm860", "CP860", true},
    CodePageInfo{861, u"ibm861", "CP861", true},
    CodePageInfo{862, u"dos-862", "CP862", true},
    CodePageInfo{863, u"ibm863", "CP863", true},
    CodePageInfo{864, u"ibm864", "CP864", true},
    CodePageInfo{865, u"ibm865", "CP865", true},
    CodePageInfo{866, u"cp866", "CP866", true},
    CodePageInfo{869, u"ibm869", "CP869", true},
    CodePageInfo{874, u"windows-874", "CP874", true},
    CodePageInfo{932, u"shift_jis", "CP932", false},
    CodePageInfo{936, u"gb2312", "CP936", false},
    CodePageInfo{949, u"euc-kr", "CP949", false},
    CodePageInfo{950, u"big5", "CP950", false},
    CodePageInfo{1200, u"utf-16", "UTF-16LE", false},
    CodePageInfo{1201, u"utf-16be", "UTF-16BE", false},
    CodePageInfo{1250, u"windows-1250", "CP1250", true},
    CodePageInfo{1251, u"windows-1251", "CP1251", true},
    CodePageInfo{1252, u"windows-1252", "CP1252", true},
    CodePageInfo{1253, u"windows-1253", "CP1253", true},
    CodePageInfo{1254, u"windows-1254", "CP1254", true},
    CodePageInfo{1255, u"windows-1255", "CP1255", true},
    CodePageInfo{1256, u"windows-1256", "CP1256", true},
    CodePageInfo{1257, u"windows-1257", "CP1257", true},
    CodePageInfo{1258, u"windows-1258", "CP1258", true},
    CodePageInfo{1361, u"johab", "JOHAB", false},
    CodePageInfo{10000, u"macintosh", "MACINTOSH", true},
    CodePageInfo{20127, u"us-ascii", "ASCII", true},
    CodePageInfo{20866, u"koi8-r", "KOI8-R", true},
    CodePageInfo{21866, u"koi8-u", "KOI8-U", true},
    CodePageInfo{28591, u"iso-8859-1", "ISO-8859-1", true},
    CodePageInfo{28592, u"iso-8859-2", "ISO-8859-2", true},
    CodePageInfo{28593, u"iso-8859-3", "ISO-8859-3", true},
    CodePageInfo{28594, u"iso-8859-4", "ISO-8859-4", true},
    CodePageInfo{28595, u"iso-8859-5", "ISO-8859-5", true},
    CodePageInfo{28596, u"iso-8859-6", "ISO-8859-6", true},
    CodePageInfo{28597, u"iso-8859-7", "ISO-8859-7", true},
    CodePageInfo{28598, u"iso-8859-8", "ISO-8859-8", true},
    CodePageInfo{28599, u"iso-8859-9", "ISO-8859-9", true},
    CodePageInfo{28603, u"iso-8859-13", "ISO-8859-13", true},
    CodePageInfo{28605, u"iso-8859-15", "ISO-8859-15", true},
    CodePageInfo{50220, u"iso-2022-jp", "ISO-2022-JP", false},
    CodePageInfo{51932, u"euc-jp", "EUC-JP", false},
    CodePageInfo{51949, u"euc-kr", "EUC-KR", false},
    CodePageInfo{54936, u"gb18030", "GB18030", false},
    CodePageInfo{65000, u"utf-7", "UTF-7", false},
    CodePageInfo{65001, u"utf-8", "UTF-8", false},
};

static_assert(std::ranges::is_sorted(CodePages, {}, &CodePageInfo::codePage));

} // namespace

const CodePageInfo* FindCodePage(int codePage) noexcept {
    auto found = std::ranges::lower_bound(CodePages, codePage, {}, &CodePageInfo::codePage);
    return found != CodePages.end() && found->codePage == codePage ? &*found : nullptr;
}

} // namespace internal

namespace {

struct CharsetAlias {
    std::u16string_view name; // folded as FoldCharsetName folds
    int codePage;
};

// Names that differ from the charset names of the table by more than case and punctuation.
// "euc-kr" names the strict encoding: a file declared so must not carry the extended
// characters of code page 949.
constexpr std::array CharsetAliases{
    CharsetAlias{u"latin1", 28591}, CharsetAlias{u"l1", 28591},       CharsetAlias{u"latin2", 28592},
    CharsetAlias{u"latin9", 28605}, CharsetAlias{u"ascii", 20127},    CharsetAlias{u"sjis", 932},
    CharsetAlias{u"xsjis", 932},    CharsetAlias{u"mskanji", 932},    CharsetAlias{u"windows31j", 932},
    CharsetAlias{u"gbk", 936},      CharsetAlias{u"euckr", 51949},    CharsetAlias{u"ksc56011987", 949},
    CharsetAlias{u"uhc", 949},      CharsetAlias{u"utf16le", 1200},   CharsetAlias{u"ucs2", 1200},
    CharsetAlias{u"unicode", 1200}, CharsetAlias{u"macroman", 10000}, CharsetAlias{u"big5", 950},
};

// Lower case without "-", "_", " " and ".", so "ISO_8859-1", "iso8859-1" and "iso-8859-1" meet.
std::u16string FoldCharsetName(std::u16string_view name) {
    std::u16string folded;
    for (char16_t c : name) {
        if (c == u'-' || c == u'_' || c == u' ' || c == u'.') {
            continue;
        }
        folded += automation::LowerChar(c);
    }
    return folded;
}

// A prefix followed by a code page number ("cp1252", "windows1252", "ibm437", "ms936").
std::optional<int> NumberAfterPrefix(std::u16string_view folded) {
    for (std::u16string_view prefix : {u"windows", u"xcp", u"cp", u"ibm", u"ms", u"dos"}) {
        if (folded.starts_with(prefix)) {
            std::optional<int> codePage = ParseCodePage(folded.substr(prefix.size()));
            if (codePage) {
                return codePage;
            }
        }
    }
    return std::nullopt;
}

int CodePageSetting(std::u16string_view environmentName, std::u16string_view registryValue, int fallback) {
    if (std::optional<std::u16string> fromEnvironment = GetEnvironmentVariable(environmentName)) {
        if (std::optional<int> codePage = ParseCodePage(*fromEnvironment)) {
            return *codePage;
        }
    }
    if (std::optional<int> codePage = ParseCodePage(registryValue)) {
        return *codePage;
    }
    return fallback;
}

} // namespace

int AnsiCodePage(std::u16string_view registryValue) {
    return CodePageSetting(u"QUORVANE_ANSI_CODEPAGE", registryValue, 1252);
}

int OemCodePage(std::u16string_view registryValue) {
    return CodePageSetting(u"QUORVANE_OEM_CODEPAGE", registryValue, 437);
}

bool IsSupportedCodePage(int codePage) noexcept {
    return internal::FindCodePage(codePage) != nullptr;
}

std::optional<int> ParseCodePage(std::u16string_view text) {
    auto isPadding = [](char16_t c) { return c == u'\0' || c == u' ' || c == u'\t'; };
    while (!text.empty() && isPadding(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isPadding(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    int codePage = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        codePage = codePage * 10 + (c - u'0');
    }
    if (!IsSupportedCodePage(codePage)) {
        return std::nullopt;
    }
    return codePage;
}

std::u16string CharsetName(int codePage) {
    const internal::CodePageInfo* info = internal::FindCodePage(codePage);
    return info != nullptr ? std::u16string(info->charset) : std::u16string();
}

std::optional<int> CodePageOfCharset(std::u16string_view charset) {
    std::u16string folded = FoldCharsetName(charset);
    if (folded.empty()) {
        return std::nullopt;
    }
    for (const CharsetAlias& alias : CharsetAliases) {
        if (alias.name == folded) {
            return alias.codePage;
        }
    }
    for (const internal::CodePageInfo& info : internal::CodePages) {
        if (FoldCharsetName(info.charset) == folded) {
            return info.codePage;
        }
    }
    return NumberAfterPrefix(folded);
}

} // namespace qv::system
