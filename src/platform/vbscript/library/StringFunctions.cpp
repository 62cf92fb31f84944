// The string functions of the runtime library. Lengths and positions count UTF-16 units, as the
// runtime this replaces does; the byte variants (LenB, MidB, ...) see a string as its UTF-16LE
// bytes.
#include "platform/vbscript/internal/Builtins.h"
#include "platform/vbscript/library/LibrarySupport.h"
#include "platform/vbscript/library/TextSearch.h"

#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace qv::vbscript {

namespace {

using automation::CompareMode;
using automation::Variant;
using library::Args;
using library::CompareArg;
using library::IsGiven;
using library::LongArg;
using library::RaiseInvalidCall;
using library::RequiredTextArg;
using library::RequireNotNull;
using library::TextArg;
using library::TextSearch;
using library::ValueOf;

// Code page 1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes map to the
// control characters of the same number, as the system's converter does.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t AnsiToUnicode(std::uint8_t byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return Cp1252High[byte - 0x80];
    }
    return byte;
}

// A character with no code in the page becomes "?", as the system's converter substitutes it.
std::int16_t UnicodeToAnsi(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<std::int16_t>(c);
    }
    auto it = std::find(Cp1252High.begin(), Cp1252High.end(), c);
    if (it != Cp1252High.end()) {
        return static_cast<std::int16_t>(0x80 + (it - Cp1252High.begin()));
    }
    return u'?';
}

// Checks that `text` may grow to `length` units before it does (7 past the ceiling); nothing to do
// while its buffer holds them already, as it does for the short texts most calls make.
void CheckRoom(const std::u16string& text, std::size_t length) {
    if (length > text.capacity()) {
        automation::CheckAllocation(length, sizeof(char16_t));
    }
}

// The first unit of a non-empty string argument; "" raises 5.
char16_t FirstUnit(Args args) {
    const RequiredTextArg text(args, 0);
    if (text.View().empty()) {
        RaiseInvalidCall();
    }
    return text.View().front();
}

// A part of an argument's text as a String: the argument itself when the part is all of it, so
// that the text is shared instead of copied.
Variant Substring(const TextArg& text, std::size_t position, std::size_t count = std::u16string_view::npos) {
    const std::u16string_view part = text.View().substr(position, count);
    if (part.size() == text.View().size() && text.StringVariant() != nullptr) {
        return *text.StringVariant();
    }
    return Variant(part);
}

// The whole units among the bytes [from, from + count) of a text's UTF-16LE bytes, the count cut
// to the bytes there are: a count that ends inside a unit drops that half. The bytes are read where
// the text is, never copied; the part is the text itself when it is all of it.
Variant BytePart(const TextArg& text, std::size_t from, std::size_t count) {
    const std::u16string_view units = text.View();
    const std::size_t bytes = 2 * units.size();
    if (from >= bytes) {
        return Variant(u"");
    }
    const std::size_t length = std::min(count, bytes - from) / 2;
    if (from % 2 == 0) {
        return Substring(text, from / 2, length);
    }
    // From an odd byte on, each unit is the high byte of one unit and the low byte of the next.
    Variant::TextBuilder builder;
    std::u16string& result = builder.Text();
    CheckRoom(result, length);
    const std::size_t first = from / 2;
    for (std::size_t index = 0; index < length; ++index) {
        result.push_back(
            static_cast<char16_t>((units[first + index] >> 8) | (units[first + index + 1] << 8)));
    }
    return builder.Finish();
}

// --- Character codes ---------------------------------------------------------------------------

Variant Asc(Args args, RuntimeState&) {
    return Variant(UnicodeToAnsi(FirstUnit(args)));
}

Variant AscB(Args args, RuntimeState&) {
    return Variant(static_cast<std::int16_t>(FirstUnit(args) & 0xFF));
}

// AscW is an Integer: units from U+8000 up read as negative numbers.
Variant AscW(Args args, RuntimeState&) {
    return Variant(static_cast<std::int16_t>(FirstUnit(args)));
}

Variant Chr(Args args, RuntimeState&) {
    std::int32_t code = LongArg(args, 0, 0);
    if (code < 0 || code > 255) {
        RaiseInvalidCall();
    }
    return Variant(std::u16string(1, AnsiToUnicode(static_cast<std::uint8_t>(code))));
}

// A one-byte string cannot be held as UTF-16; ChrB gives the unit of that code instead.
Variant ChrB(Args args, RuntimeState&) {
    std::int32_t code = LongArg(args, 0, 0);
    if (code < 0 || code > 255) {
        RaiseInvalidCall();
    }
    return Variant(std::u16string(1, static_cast<char16_t>(code)));
}

Variant ChrW(Args args, RuntimeState&) {
    std::int32_t code = LongArg(args, 0, 0);
    if (code < -32768 || code > 65535) {
        RaiseInvalidCall();
    }
    return Variant(std::u16string(1, static_cast<char16_t>(code & 0xFFFF)));
}

// --- Searching ---------------------------------------------------------------------------------

// InStr([start, ]string1, string2[, compare]): the 1-based position of string2 in string1 at or
// after start, 0 when absent. A Null string gives Null; a Null start or compare raises 94.
Variant InStr(Args args, RuntimeState&) {
    // The usual call, InStr([start, ]string, string) on Strings, without the general reading of
    // the arguments.
    if (args.size() <= 3) {
        const std::size_t first = args.size() == 3 ? 1 : 0;
        const Variant& start = args[0].Deref();
        const Variant& haystack = args[first].Deref();
        const Variant& needle = args[first + 1].Deref();
        if ((first == 0 || start.Type() == automation::VarType::Long) && haystack.IsString() &&
            needle.IsString() && (first == 0 || start.LongValue() >= 1)) {
            const std::size_t from = first == 0 ? 0 : static_cast<std::size_t>(start.LongValue()) - 1;
            const std::u16string_view text = haystack.StringValue();
            if (text.empty() || from >= text.size()) {
                return Variant(0);
            }
            const std::size_t found = TextSearch(needle.StringValue()).Find(text, from);
            return Variant(found == std::u16string_view::npos ? 0 : static_cast<std::int32_t>(found + 1));
        }
    }
    std::size_t first = args.size() >= 3 ? 1 : 0;
    std::int32_t start = first == 1 ? LongArg(args, 0, 1) : 1;
    CompareMode mode = args.size() == 4 ? CompareArg(args, 3) : CompareMode::Binary;
    if (start < 1) {
        RaiseInvalidCall();
    }
    TextArg haystack(args, first);
    TextArg needle(args, first + 1);
    if (haystack.IsNull() || needle.IsNull()) {
        return Variant::Null();
    }
    if (haystack.View().empty() || static_cast<std::size_t>(start) > haystack.View().size()) {
        return Variant(0);
    }
    if (needle.View().empty()) {
        return Variant(start);
    }
    std::size_t found =
        library::FindText(haystack.View(), needle.View(), static_cast<std::size_t>(start - 1), mode);
    return Variant(found == std::u16string::npos ? 0 : static_cast<std::int32_t>(found + 1));
}

// InStrB: InStr over the strings' bytes, positions in bytes.
Variant InStrB(Args args, RuntimeState&) {
    std::size_t first = args.size() >= 3 ? 1 : 0;
    std::int32_t start = first == 1 ? LongArg(args, 0, 1) : 1;
    if (args.size() == 4) {
        CompareArg(args, 3);
    }
    if (start < 1) {
        RaiseInvalidCall();
    }
    const TextArg haystack(args, first);
    const TextArg needle(args, first + 1);
    if (haystack.IsNull() || needle.IsNull()) {
        return Variant::Null();
    }
    const std::size_t bytes = 2 * haystack.View().size();
    if (bytes == 0 || static_cast<std::size_t>(start) > bytes) {
        return Variant(0);
    }
    if (needle.View().empty()) {
        return Variant(start);
    }
    const std::size_t found =
        library::FindBytes(haystack.View(), needle.View(), static_cast<std::size_t>(start - 1));
    return Variant(found == std::u16string_view::npos ? 0 : static_cast<std::int32_t>(found + 1));
}

// InStrRev(string1, string2[, start[, compare]]): the last position of string2 that ends at or
// before start (-1: the end). Unlike InStr, every Null argument raises 94.
Variant InStrRev(Args args, RuntimeState&) {
    const RequiredTextArg haystackArg(args, 0);
    const RequiredTextArg needleArg(args, 1);
    const std::u16string_view haystack = haystackArg.View();
    const std::u16string_view needle = needleArg.View();
    std::int32_t start = LongArg(args, 2, -1);
    CompareMode mode = CompareArg(args, 3);
    if (start == 0 || start < -1) {
        RaiseInvalidCall();
    }
    if (haystack.empty()) {
        return Variant(0);
    }
    if (start == -1) {
        start = static_cast<std::int32_t>(haystack.size());
    }
    if (static_cast<std::size_t>(start) > haystack.size()) {
        return Variant(0);
    }
    if (needle.empty()) {
        return Variant(start);
    }
    if (needle.size() > static_cast<std::size_t>(start)) {
        return Variant(0);
    }
    std::size_t last = static_cast<std::size_t>(start) - needle.size();
    std::size_t found = 0;
    if (mode == CompareMode::Binary) {
        found = TextSearch(needle, TextSearch::Direction::Backward).Find(haystack, last);
    } else {
        const std::u16string foldedNeedle = library::FoldCase(needle);
        found =
            TextSearch(foldedNeedle, TextSearch::Direction::Backward).Find(library::FoldCase(haystack), last);
    }
    return Variant(found == std::u16string::npos ? 0 : static_cast<std::int32_t>(found + 1));
}

// --- Case and trimming -------------------------------------------------------------------------

Variant LCase(Args args, RuntimeState&) {
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    Variant::TextBuilder result;
    CheckRoom(result.Text(), text.View().size());
    result.Text().append(text.View());
    automation::MakeLower(result.Text());
    return result.Finish();
}

Variant UCase(Args args, RuntimeState&) {
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    Variant::TextBuilder result;
    CheckRoom(result.Text(), text.View().size());
    result.Text().append(text.View());
    automation::MakeUpper(result.Text());
    return result.Finish();
}

// Only the space character is trimmed, never tabs or line breaks.
Variant TrimImpl(Args args, bool left, bool right) {
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    const std::u16string_view view = text.View();
    std::size_t first = 0;
    std::size_t last = view.size();
    while (left && first < last && view[first] == u' ') {
        ++first;
    }
    while (right && last > first && view[last - 1] == u' ') {
        --last;
    }
    return Substring(text, first, last - first);
}

Variant LTrim(Args args, RuntimeState&) {
    return TrimImpl(args, true, false);
}
Variant RTrim(Args args, RuntimeState&) {
    return TrimImpl(args, false, true);
}
Variant Trim(Args args, RuntimeState&) {
    return TrimImpl(args, true, true);
}

// --- Substrings ------------------------------------------------------------------------------------

// A length argument: Null raises 94 and a negative length 5, both before the string is looked
// at, so Left(Null, -1) raises 5.
std::size_t LengthArg(Args args, std::size_t index) {
    std::int32_t length = LongArg(args, index, 0);
    if (length < 0) {
        RaiseInvalidCall();
    }
    return static_cast<std::size_t>(length);
}

Variant Left(Args args, RuntimeState&) {
    std::size_t length = LengthArg(args, 1);
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    return Substring(text, 0, length);
}

Variant Right(Args args, RuntimeState&) {
    std::size_t length = LengthArg(args, 1);
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    return Substring(text, text.View().size() - std::min(length, text.View().size()));
}

// Mid(string, start[, length]): Null numbers raise 94 before anything else, then bad numbers
// raise 5, and only then does a Null string give Null.
Variant Mid(Args args, RuntimeState&) {
    // The usual call, on a String with whole-number positions in range, without the general
    // reading of the arguments.
    {
        const Variant& text = args[0].Deref();
        const Variant& start = args[1].Deref();
        const Variant* length = args.size() == 3 ? &args[2].Deref() : nullptr;
        if (text.IsString() && start.Type() == automation::VarType::Long && start.LongValue() >= 1 &&
            (!length || (length->Type() == automation::VarType::Long && length->LongValue() >= 0))) {
            const std::u16string_view view = text.StringValue();
            const auto from = static_cast<std::size_t>(start.LongValue()) - 1;
            if (from >= view.size()) {
                return Variant(u"");
            }
            const std::u16string_view part =
                view.substr(from, length ? static_cast<std::size_t>(length->LongValue()) : view.size());
            return part.size() == view.size() ? text : Variant(part);
        }
    }
    const library::ArgValue startValue(args, 1);
    const library::ArgValue lengthValue(args, 2);
    RequireNotNull(startValue.Get());
    RequireNotNull(lengthValue.Get());
    std::int32_t start = automation::ToLong(startValue.Get());
    bool hasLength = IsGiven(args, 2);
    std::int32_t length = hasLength ? automation::ToLong(lengthValue.Get()) : 0;
    if (start < 1 || length < 0) {
        RaiseInvalidCall();
    }
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    if (static_cast<std::size_t>(start) > text.View().size()) {
        return Variant(u"");
    }
    std::size_t count = hasLength ? static_cast<std::size_t>(length) : std::u16string_view::npos;
    return Substring(text, static_cast<std::size_t>(start - 1), count);
}

Variant LeftB(Args args, RuntimeState&) {
    std::size_t length = LengthArg(args, 1);
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    return BytePart(text, 0, length);
}

Variant RightB(Args args, RuntimeState&) {
    std::size_t length = LengthArg(args, 1);
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    const std::size_t bytes = 2 * text.View().size();
    return BytePart(text, bytes - std::min(length, bytes), length);
}

Variant MidB(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    RequireNotNull(ValueOf(args, 1));
    RequireNotNull(ValueOf(args, 2));
    std::int32_t start = LongArg(args, 1, 1);
    std::int32_t length = LongArg(args, 2, -1);
    if (start < 1 || (IsGiven(args, 2) && length < 0)) {
        RaiseInvalidCall();
    }
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    const std::size_t count = IsGiven(args, 2) ? static_cast<std::size_t>(length) : std::u16string_view::npos;
    return BytePart(text, static_cast<std::size_t>(start - 1), count);
}

Variant Len(Args args, RuntimeState&) {
    // The usual argument, a String, is measured without the general reading of TextArg.
    if (const Variant& value = args[0].Deref(); value.IsString()) {
        return Variant(static_cast<std::int32_t>(value.StringValue().size()));
    }
    const TextArg text(args, 0);
    return text.IsNull() ? Variant::Null() : Variant(static_cast<std::int32_t>(text.View().size()));
}

Variant LenB(Args args, RuntimeState&) {
    const TextArg text(args, 0);
    return text.IsNull() ? Variant::Null() : Variant(static_cast<std::int32_t>(text.View().size() * 2));
}

Variant Space(Args args, RuntimeState&) {
    const std::size_t length = LengthArg(args, 0);
    automation::CheckAllocation(length, sizeof(char16_t));
    return Variant(std::u16string(length, u' '));
}

// String(number, character): character is the first unit of a string or a character code taken
// modulo 256; either argument Null gives Null.
Variant String(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    Variant count = ValueOf(args, 0);
    Variant character = ValueOf(args, 1);
    if (count.IsNull() || character.IsNull()) {
        return Variant::Null();
    }
    std::size_t length = LengthArg(args, 0);
    char16_t unit = 0;
    if (character.IsString()) {
        if (character.StringValue().empty()) {
            RaiseInvalidCall();
        }
        unit = character.StringValue().front();
    } else {
        std::int32_t code = automation::ToLong(character);
        if (code < 0) {
            RaiseInvalidCall();
        }
        unit = AnsiToUnicode(static_cast<std::uint8_t>(code % 256));
    }
    automation::CheckAllocation(length, sizeof(char16_t));
    return Variant(std::u16string(length, unit));
}

// --- Comparison and rearrangement -------------------------------------------------------------

Variant StrComp(Args args, RuntimeState&) {
    CompareMode mode = CompareArg(args, 2);
    const TextArg a(args, 0);
    const TextArg b(args, 1);
    if (a.IsNull() || b.IsNull()) {
        return Variant::Null();
    }
    // Text mode ignores letter case as the comparison operators do.
    const int order = mode == CompareMode::Text ? automation::CompareNoCase(a.View(), b.View())
                                                : a.View().compare(b.View());
    return Variant(static_cast<std::int16_t>(order < 0 ? -1 : order > 0 ? 1 : 0));
}

Variant StrReverse(Args args, RuntimeState&) {
    const RequiredTextArg text(args, 0);
    Variant::TextBuilder result;
    CheckRoom(result.Text(), text.View().size());
    result.Text().assign(text.View().rbegin(), text.View().rend());
    return result.Finish();
}

// Replace(expression, find, replacewith[, start[, count[, compare]]]). The result starts at
// `start`: the text before it is dropped, as the runtime has always done. Every Null argument
// raises 94.
Variant Replace(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (IsGiven(args, i)) {
            RequireNotNull(args[i].Deref());
        }
    }
    std::int32_t start = LongArg(args, 3, 1);
    std::int32_t count = LongArg(args, 4, -1);
    CompareMode mode = CompareArg(args, 5);
    if (start < 1 || count < -1) {
        RaiseInvalidCall();
    }
    const TextArg expression(args, 0);
    const TextArg find(args, 1);
    const TextArg replacement(args, 2);
    if (static_cast<std::size_t>(start) > expression.View().size()) {
        return Variant(u"");
    }
    const std::u16string_view source = expression.View().substr(static_cast<std::size_t>(start - 1));
    if (find.View().empty() || count == 0) {
        return Substring(expression, static_cast<std::size_t>(start - 1));
    }
    // Search a folded copy in text mode so that the folding happens once, not per match.
    std::u16string folded;
    std::u16string foldedFind;
    std::u16string_view searchIn = source;
    std::u16string_view searchFor = find.View();
    if (mode == CompareMode::Text) {
        folded = library::FoldCase(source);
        foldedFind = library::FoldCase(find.View());
        searchIn = folded;
        searchFor = foldedFind;
    }
    const TextSearch search(searchFor);
    std::size_t found = search.Find(searchIn, 0);
    if (found == std::u16string_view::npos) {
        // Nothing to replace: the text from `start` on, shared when that is all of it.
        return Substring(expression, static_cast<std::size_t>(start - 1));
    }
    Variant::TextBuilder builder;
    std::u16string& result = builder.Text();
    std::int32_t done = 0;
    library::ResultMeter meter;
    if (replacement.View().size() == searchFor.size()) {
        // As long as what it replaces (Replace(s, "o", "0")): the text copied once and the
        // matches overwritten in it.
        automation::AppendChecked(result, source);
        while (found != std::u16string_view::npos) {
            meter.Step();
            meter.Copied(replacement.View().size());
            std::copy(replacement.View().begin(), replacement.View().end(),
                      result.begin() + static_cast<std::ptrdiff_t>(found));
            if (count != -1 && ++done >= count) {
                break;
            }
            found = search.Find(searchIn, found + searchFor.size());
        }
        return builder.Finish();
    }
    automation::ReserveChecked(result, source.size());
    std::size_t position = 0;
    while (found != std::u16string_view::npos) {
        meter.Step();
        meter.Copied(replacement.View().size());
        automation::AppendChecked(result, source.substr(position, found - position));
        automation::AppendChecked(result, replacement.View());
        position = found + searchFor.size();
        if (count != -1 && ++done >= count) {
            break;
        }
        found = search.Find(searchIn, position);
    }
    automation::AppendChecked(result, source.substr(position));
    return builder.Finish();
}

// Split(expression[, delimiter[, count[, compare]]]): a zero-based Variant array of Strings;
// "" gives an empty array (UBound -1), an empty delimiter the whole text as one element. The parts
// count against the memory ceiling as they are cut, so that a text of millions of delimiters
// fails with 7 before it takes the memory, and a long split stops at the run's time-out.
Variant Split(Args original, RuntimeState&) {
    const library::ResolvedArgs resolved(original);
    const Args args = resolved;
    for (std::size_t i = 0; i < args.size(); ++i) {
        RequireNotNull(args[i].Deref());
    }
    const TextArg expression(args, 0);
    const TextArg delimiterArg(args, 1);
    const std::u16string_view delimiter = IsGiven(args, 1) ? delimiterArg.View() : std::u16string_view(u" ");
    std::int32_t count = LongArg(args, 2, -1);
    CompareMode mode = CompareArg(args, 3);
    if (count < -1) {
        RaiseInvalidCall();
    }
    std::vector<Variant> parts;
    if (expression.View().empty() || count == 0) {
        return Variant(automation::MakeArray(std::move(parts)));
    }
    if (delimiter.empty()) {
        parts.push_back(Substring(expression, 0));
        return Variant(automation::MakeArray(std::move(parts)));
    }
    std::u16string foldedExpression;
    std::u16string foldedDelimiter;
    std::u16string_view searchIn = expression.View();
    std::u16string_view searchFor = delimiter;
    if (mode == CompareMode::Text) {
        foldedExpression = library::FoldCase(expression.View());
        foldedDelimiter = library::FoldCase(delimiter);
        searchIn = foldedExpression;
        searchFor = foldedDelimiter;
    }
    const std::u16string_view source = expression.View();
    const TextSearch search(searchFor);
    library::ResultMeter meter;
    const auto addPart = [&](std::u16string_view part) {
        meter.Step();
        meter.MakeRoom(parts);
        meter.Charge(library::StringElementCharge(part));
        parts.emplace_back(part);
    };
    std::size_t position = 0;
    while (count == -1 || static_cast<std::int32_t>(parts.size()) < count - 1) {
        std::size_t found = search.Find(searchIn, position);
        if (found == std::u16string_view::npos) {
            break;
        }
        addPart(source.substr(position, found - position));
        position = found + delimiter.size();
    }
    if (position == 0) {
        parts.push_back(Substring(expression, 0)); // no delimiter: the text itself, shared
    } else {
        addPart(source.substr(position));
    }
    return Variant(automation::MakeArray(std::move(parts)));
}

// Join(list[, delimiter]): the elements' text forms; a Null element raises 94 as CStr does.
// Null is 94 and an object 438 (it has no list to join); anything but a one-dimensional array,
// or an array holding Null, is 13. The text is checked against the memory ceiling as it grows,
// and a long join stops at the run's time-out.
Variant Join(Args args, RuntimeState&) {
    const Variant& list = args[0].Deref();
    RequireNotNull(list);
    if (list.IsObject()) {
        automation::Raise(automation::ErrorNumber::ObjectDoesNotSupport);
    }
    if (!list.IsArray() || list.ArrayValue()->Dimensions() != 1) {
        automation::Raise(automation::ErrorNumber::TypeMismatch);
    }
    const automation::SafeArray& array = *list.ArrayValue();
    const TextArg delimiterArg(args, 1);
    if (IsGiven(args, 1) && delimiterArg.IsNull()) {
        automation::Raise(automation::ErrorNumber::InvalidUseOfNull);
    }
    const std::u16string_view delimiter = IsGiven(args, 1) ? delimiterArg.View() : std::u16string_view(u" ");
    library::ResultMeter meter;
    Variant::TextBuilder builder;
    std::u16string& result = builder.Text();
    bool first = true;
    for (const Variant& element : array.Elements()) {
        meter.Step();
        if (!first) {
            automation::AppendChecked(result, delimiter);
        }
        first = false;
        const TextArg text(element);
        if (text.IsNull()) {
            automation::Raise(automation::ErrorNumber::TypeMismatch);
        }
        // One long text may stand in many elements: each copy of it counts.
        meter.Copied(delimiter.size() + text.View().size());
        automation::AppendChecked(result, text.View());
    }
    return builder.Finish();
}

// Filter(strings, value[, include[, compare]]): the elements that contain `value` (or, with
// include False, do not), as a new zero-based array; a String element is shared, not copied.
Variant Filter(Args args, RuntimeState&) {
    Variant list = args[0].Deref();
    RequireNotNull(list);
    const automation::SafeArray& array = library::OneDimensionalArray(list);
    const RequiredTextArg value(args, 1);
    bool include = library::BoolArg(args, 2, true);
    CompareMode mode = CompareArg(args, 3);
    // The value is folded and read for the search once, not for every element.
    const std::u16string foldedValue = mode == CompareMode::Text ? library::FoldCase(value.View()) : u"";
    const TextSearch search(mode == CompareMode::Text ? std::u16string_view(foldedValue) : value.View());
    library::ResultMeter meter;
    std::vector<Variant> kept;
    for (const Variant& element : array.Elements()) {
        meter.Step();
        const TextArg text(element);
        if (text.IsNull()) {
            automation::Raise(automation::ErrorNumber::InvalidUseOfNull);
        }
        const bool contains =
            (mode == CompareMode::Text ? search.Find(library::FoldCase(text.View()), 0)
                                       : search.Find(text.View(), 0)) != std::u16string::npos;
        if (contains != include) {
            continue;
        }
        meter.MakeRoom(kept);
        if (const Variant* shared = text.StringVariant()) {
            kept.push_back(*shared);
        } else {
            meter.Charge(library::StringElementCharge(text.View()));
            kept.emplace_back(text.View());
        }
    }
    return Variant(automation::MakeArray(std::move(kept)));
}

// --- Escape and Unescape ------------------------------------------------------------------------

bool IsUnescaped(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'@' ||
           c == u'*' || c == u'_' || c == u'+' || c == u'-' || c == u'.' || c == u'/';
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    return -1;
}

// %XX for units below 256, %uXXXX above, upper-case hex digits.
Variant Escape(Args args, RuntimeState&) {
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    // Up to six units for one: the text is checked against the memory ceiling as it grows.
    std::u16string result;
    automation::ReserveChecked(result, text.View().size());
    for (char16_t c : text.View()) {
        if (result.capacity() - result.size() < 6) {
            automation::ReserveChecked(result, result.size() + std::max<std::size_t>(result.size(), 6));
        }
        if (IsUnescaped(c)) {
            result.push_back(c);
            continue;
        }
        result.push_back(u'%');
        if (c > 0xFF) {
            result.push_back(u'u');
            result.push_back(Digits[(c >> 12) & 0xF]);
            result.push_back(Digits[(c >> 8) & 0xF]);
        }
        result.push_back(Digits[(c >> 4) & 0xF]);
        result.push_back(Digits[c & 0xF]);
    }
    return Variant(std::move(result));
}

// Sequences that are not well-formed escapes stay as they are.
Variant Unescape(Args args, RuntimeState&) {
    const TextArg text(args, 0);
    if (text.IsNull()) {
        return Variant::Null();
    }
    const std::u16string_view in = text.View();
    std::u16string result;
    automation::ReserveChecked(result, in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == u'%') {
            if (i + 5 < in.size() && in[i + 1] == u'u') {
                int d[4] = {HexValue(in[i + 2]), HexValue(in[i + 3]), HexValue(in[i + 4]),
                            HexValue(in[i + 5])};
                if (d[0] >= 0 && d[1] >= 0 && d[2] >= 0 && d[3] >= 0) {
                    result.push_back(static_cast<char16_t>((d[0] << 12) | (d[1] << 8) | (d[2] << 4) | d[3]));
                    i += 5;
                    continue;
                }
            }
            if (i + 2 < in.size()) {
                int high = HexValue(in[i + 1]);
                int low = HexValue(in[i + 2]);
                if (high >= 0 && low >= 0) {
                    result.push_back(static_cast<char16_t>((high << 4) | low));
                    i += 2;
                    continue;
                }
            }
        }
        result.push_back(in[i]);
    }
    return Variant(std::move(result));
}

constexpr BuiltinInfo Table[] = {
    {u"Asc", 1, 1, &Asc},           {u"AscB", 1, 1, &AscB},
    {u"AscW", 1, 1, &AscW},         {u"Chr", 1, 1, &Chr},
    {u"ChrB", 1, 1, &ChrB},         {u"ChrW", 1, 1, &ChrW},
    {u"InStr", 2, 4, &InStr},       {u"InStrB", 2, 4, &InStrB},
    {u"InStrRev", 2, 4, &InStrRev}, {u"LCase", 1, 1, &LCase},
    {u"UCase", 1, 1, &UCase},       {u"Left", 2, 2, &Left},
    {u"LeftB", 2, 2, &LeftB},       {u"Right", 2, 2, &Right},
    {u"RightB", 2, 2, &RightB},     {u"Mid", 2, 3, &Mid},
    {u"MidB", 2, 3, &MidB},         {u"Len", 1, 1, &Len},
    {u"LenB", 1, 1, &LenB},         {u"LTrim", 1, 1, &LTrim},
    {u"RTrim", 1, 1, &RTrim},       {u"Trim", 1, 1, &Trim},
    {u"Space", 1, 1, &Space},       {u"String", 2, 2, &String},
    {u"StrComp", 2, 3, &StrComp},   {u"StrReverse", 1, 1, &StrReverse},
    {u"Replace", 3, 6, &Replace},   {u"Split", 1, 4, &Split},
    {u"Join", 1, 2, &Join},         {u"Filter", 2, 4, &Filter},
    {u"Escape", 1, 1, &Escape},     {u"Unescape", 1, 1, &Unescape},
};

} // namespace

std::span<const BuiltinInfo> StringFunctions() {
    return Table;
}

} // namespace qv::vbscript
