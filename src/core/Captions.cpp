#include "core/Captions.h"

#include "platform/automation/Text.h"

#include <string>

namespace qv {

std::u16string NameToCaption(std::u16string_view name) {
    std::u16string caption;
    caption.reserve(name.size() + 4);
    bool previousUpper = true;
    bool previousBreak = true;
    for (char16_t c : name) {
        const bool isBreakCharacter = c == u' ' || c == u'-' || c == u'_';
        bool isBreak = isBreakCharacter;
        if (isBreakCharacter) {
            previousUpper = true;
        } else {
            // Digits and punctuation equal their upper-case form, so they count as upper case.
            const bool isUpper = automation::UpperChar(c) == c;
            isBreak = isUpper && !previousUpper;
            previousUpper = isUpper;
        }
        if (isBreak && !previousBreak) {
            caption.push_back(u' ');
        }
        previousBreak = isBreak;
        if (!isBreakCharacter) {
            caption.push_back(c);
        }
    }
    return caption;
}

std::u16string RemoveSlashesAndSpaces(std::u16string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (char16_t c : text) {
        if (c != u'/' && c != u' ') {
            result.push_back(c);
        }
    }
    return result;
}

} // namespace qv
