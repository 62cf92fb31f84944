#include "core/Charsets.h"

#include "core/Apartment.h"
#include "core/VbText.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

namespace qv {

using automation::Variant;

namespace {

struct CharsetCodePages {
    std::u16string_view charset;
    std::initializer_list<int> codePages;
};

// Which charset an XML declaration names for the system's code page.
const CharsetCodePages CharsetTable[] = {
    {u"iso-8859-1", {37,    437,   850,   861,   1140,  1141,  1142,  1143,  1144,  1145,  1146,
                     1147,  1148,  1149,  1252,  10000, 10079, 20105, 20106, 20107, 20108, 20127,
                     20273, 20277, 20278, 20280, 20284, 20285, 20871, 28591, 29001}},
    {u"iso-8859-2", {852, 870, 1250, 10029, 28592}},
    {u"iso-8859-3", {28593}},
    {u"iso-8859-4", {775, 1257, 28594}},
    {u"iso-8859-5", {866, 1026, 1251, 10007, 20866, 20880, 21025, 21866, 28595}},
    {u"iso-8859-6", {708, 720, 1256, 10004, 20420, 28596}},
    {u"iso-8859-7", {737, 869, 875, 1253, 10006, 20423, 28597}},
    {u"iso-8859-8", {862, 1255, 10005, 20424, 28598, 38598}},
    {u"iso-8859-9", {857, 1254, 10081, 20905, 28599}},
    {u"iso-8859-15", {28605}},
    {u"gb2312", {936, 10008, 50935, 51936, 52936}},
    {u"big5", {950, 10002, 20000, 20002, 50937}},
    {u"shift_jis", {932, 10001, 20290, 50220, 50221, 50222, 50930, 50931, 50939, 51932}},
    {u"euc-kr", {949, 1361, 10003, 20833, 50225, 50933, 51949}},
    {u"windows-874", {874, 20838}},
    {u"windows-1258", {1258}},
    {u"utf-16", {1200, 1201}},
    {u"utf-7", {65000}},
    {u"utf-8", {65001}},
};

} // namespace

void InitSystemCharset() {
    ModuleState& state = State();
    state.oemCodePage = 0; // read the setting anew
    state.gSystemCodePage = Variant(NumberText(OemCodePage()));
    state.gXmlEncoding = CodePageToCharset(state.gSystemCodePage);
}

std::u16string CodePageToCharset(const Variant& codePage) {
    std::optional<std::u16string> text = TextOf(codePage);
    if (!text) {
        return {};
    }
    std::u16string cleaned;
    for (char16_t c : *text) {
        if (c != u'\0') {
            cleaned.push_back(c);
        }
    }
    const std::u16string_view number = TrimBlanks(cleaned);
    if (number.empty() || number.size() > 5 ||
        !std::all_of(number.begin(), number.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }) ||
        number.front() == u'0') {
        return {};
    }
    int value = 0;
    for (char16_t c : number) {
        value = value * 10 + (c - u'0');
    }
    for (const CharsetCodePages& entry : CharsetTable) {
        for (int listed : entry.codePages) {
            if (listed == value) {
                return std::u16string(entry.charset);
            }
        }
    }
    return {};
}

} // namespace qv
