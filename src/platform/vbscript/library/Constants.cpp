// The named constants of the language, typed as the runtime types them: Integer for almost all,
// Long where the value needs it (colours, vbObjectError and the high message-box flags), String
// for the characters.
#include "platform/vbscript/internal/Builtins.h"

namespace qv::vbscript {

namespace {

using automation::Variant;

template <std::int16_t Value> Variant Integer() {
    return Variant(Value);
}

template <std::int32_t Value> Variant Long() {
    return Variant(Value);
}

template <char16_t... Units> Variant Text() {
    static constexpr char16_t text[] = {Units..., u'\0'};
    return Variant(std::u16string_view(text, sizeof...(Units)));
}

constexpr ConstantInfo Table[] = {
    // Characters.
    {u"vbCr", &Text<u'\r'>},
    {u"vbLf", &Text<u'\n'>},
    {u"vbCrLf", &Text<u'\r', u'\n'>},
    {u"vbNewLine", &Text<u'\r', u'\n'>},
    {u"vbTab", &Text<u'\t'>},
    {u"vbNullChar", &Text<u'\0'>},
    {u"vbNullString", &Text<>},
    {u"vbFormFeed", &Text<u'\f'>},
    {u"vbVerticalTab", &Text<u'\v'>},
    // Tristate and comparison.
    {u"vbTrue", &Integer<-1>},
    {u"vbFalse", &Integer<0>},
    {u"vbUseDefault", &Integer<-2>},
    {u"vbBinaryCompare", &Integer<0>},
    {u"vbTextCompare", &Integer<1>},
    {u"vbDatabaseCompare", &Integer<2>},
    // Days and weeks.
    {u"vbUseSystemDayOfWeek", &Integer<0>},
    {u"vbSunday", &Integer<1>},
    {u"vbMonday", &Integer<2>},
    {u"vbTuesday", &Integer<3>},
    {u"vbWednesday", &Integer<4>},
    {u"vbThursday", &Integer<5>},
    {u"vbFriday", &Integer<6>},
    {u"vbSaturday", &Integer<7>},
    {u"vbUseSystem", &Integer<0>},
    {u"vbFirstJan1", &Integer<1>},
    {u"vbFirstFourDays", &Integer<2>},
    {u"vbFirstFullWeek", &Integer<3>},
    // FormatDateTime.
    {u"vbGeneralDate", &Integer<0>},
    {u"vbLongDate", &Integer<1>},
    {u"vbShortDate", &Integer<2>},
    {u"vbLongTime", &Integer<3>},
    {u"vbShortTime", &Integer<4>},
    // VarType.
    {u"vbEmpty", &Integer<0>},
    {u"vbNull", &Integer<1>},
    {u"vbInteger", &Integer<2>},
    {u"vbLong", &Integer<3>},
    {u"vbSingle", &Integer<4>},
    {u"vbDouble", &Integer<5>},
    {u"vbCurrency", &Integer<6>},
    {u"vbDate", &Integer<7>},
    {u"vbString", &Integer<8>},
    {u"vbObject", &Integer<9>},
    {u"vbError", &Integer<10>},
    {u"vbBoolean", &Integer<11>},
    {u"vbVariant", &Integer<12>},
    {u"vbDataObject", &Integer<13>},
    {u"vbDecimal", &Integer<14>},
    {u"vbByte", &Integer<17>},
    {u"vbArray", &Integer<8192>},
    {u"vbObjectError", &Long<static_cast<std::int32_t>(0x80040000u)>},
    // MsgBox buttons, icons and results.
    {u"vbOKOnly", &Integer<0>},
    {u"vbOKCancel", &Integer<1>},
    {u"vbAbortRetryIgnore", &Integer<2>},
    {u"vbYesNoCancel", &Integer<3>},
    {u"vbYesNo", &Integer<4>},
    {u"vbRetryCancel", &Integer<5>},
    {u"vbCritical", &Integer<16>},
    {u"vbQuestion", &Integer<32>},
    {u"vbExclamation", &Integer<48>},
    {u"vbInformation", &Integer<64>},
    {u"vbDefaultButton1", &Integer<0>},
    {u"vbDefaultButton2", &Integer<256>},
    {u"vbDefaultButton3", &Integer<512>},
    {u"vbDefaultButton4", &Integer<768>},
    {u"vbApplicationModal", &Integer<0>},
    {u"vbSystemModal", &Integer<4096>},
    {u"vbMsgBoxHelpButton", &Long<16384>},
    {u"vbMsgBoxSetForeground", &Long<65536>},
    {u"vbMsgBoxRight", &Long<524288>},
    {u"vbMsgBoxRtlReading", &Long<1048576>},
    {u"vbOK", &Integer<1>},
    {u"vbCancel", &Integer<2>},
    {u"vbAbort", &Integer<3>},
    {u"vbRetry", &Integer<4>},
    {u"vbIgnore", &Integer<5>},
    {u"vbYes", &Integer<6>},
    {u"vbNo", &Integer<7>},
    // Colours.
    {u"vbBlack", &Long<0x000000>},
    {u"vbRed", &Long<0x0000FF>},
    {u"vbGreen", &Long<0x00FF00>},
    {u"vbYellow", &Long<0x00FFFF>},
    {u"vbBlue", &Long<0xFF0000>},
    {u"vbMagenta", &Long<0xFF00FF>},
    {u"vbCyan", &Long<0xFFFF00>},
    {u"vbWhite", &Long<0xFFFFFF>},
};

} // namespace

std::span<const ConstantInfo> Constants() {
    return Table;
}

} // namespace qv::vbscript
