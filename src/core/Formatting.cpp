#include "core/Formatting.h"

#include "core/VbText.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace qv {

using automation::Variant;
using automation::VarType;

std::int16_t Percent(std::int32_t position, std::int32_t total) {
    const double divisor = total == 0 ? 1.0 : static_cast<double>(total);
    const double dividend = position > total ? divisor : static_cast<double>(position);
    // Halves round to even, as the runtime rounds.
    return automation::ToInteger(Variant(dividend / divisor * 100.0));
}

std::u16string FormatTimestamp(const Variant& value) {
    std::optional<double> serial;
    if (value.Type() == VarType::Date) {
        serial = value.DateValue();
    } else if (value.IsString()) {
        serial = automation::ParseDate(value.StringValue());
    }
    if (!serial) {
        return TextOf(value).value_or(std::u16string());
    }
    const automation::DateParts parts = automation::SplitDate(*serial);
    std::u16string text = PadZero(Variant(parts.year), 4);
    const std::pair<char16_t, int> rest[] = {
        {u'/', parts.month},  {u'/', parts.day},    {u' ', parts.hour},
        {u':', parts.minute}, {u':', parts.second},
    };
    for (const auto& [separator, number] : rest) {
        text.push_back(separator);
        text += PadZero(Variant(number), 2);
    }
    return text;
}

std::u16string PadZero(const Variant& value, std::int32_t width) {
    std::u16string text = automation::ToString(value);
    const std::int64_t padding = static_cast<std::int64_t>(width) - static_cast<std::int64_t>(text.size());
    if (padding < 0) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall);
    }
    text.insert(0, static_cast<std::size_t>(padding), u'0');
    return text;
}

} // namespace qv
