#include "platform/xml/internal/XmlText.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <libxml/tree.h>

#include <cstdio>

namespace qv::xml::internal {

namespace {

bool IsXmlChar(char16_t unit) {
    return unit == 0x9 || unit == 0xA || unit == 0xD || (unit >= 0x20 && unit <= 0xFFFD);
}

std::u16string CodePointText(char32_t codePoint) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(codePoint));
    return automation::FromUtf8(buffer);
}

} // namespace

void RaiseInvalid(std::u16string description) {
    automation::Raise(automation::ErrorNumber::InvalidProcedureCall, std::u16string(ErrorSource),
                      std::move(description));
}

void CheckXmlText(std::u16string_view text, std::u16string_view where) {
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && index + 1 < text.size() && text[index + 1] >= 0xDC00 && text[index + 1] <= 0xDFFF) {
            ++index;
            continue;
        }
        if (IsXmlChar(unit) && !high && !low) {
            continue;
        }
        RaiseInvalid(u"The character " + CodePointText(unit) + u" at position " +
                     automation::FromUtf8(std::to_string(index + 1)) + u" of " + std::u16string(where) +
                     u" cannot be stored in XML");
    }
}

void CheckXmlName(std::u16string_view name) {
    const std::string utf8 = automation::ToUtf8(name);
    if (name.empty() || xmlValidateQName(reinterpret_cast<const xmlChar*>(utf8.c_str()), 0) != 0) {
        RaiseInvalid(u"\"" + std::u16string(name) + u"\" is not a valid XML name");
    }
}

std::u16string DeclarationText(std::u16string_view encoding, bool standalone) {
    std::u16string text = u"<?xml version=\"1.0\"";
    if (!encoding.empty()) {
        text += u" encoding=\"";
        text += encoding;
        text += u"\"";
    }
    if (standalone) {
        text += u" standalone=\"yes\"";
    }
    text += u"?>";
    return text;
}

} // namespace qv::xml::internal
