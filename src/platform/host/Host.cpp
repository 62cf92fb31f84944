#include "platform/host/Host.h"

namespace qv::host {

namespace {
bool IsSeparator(char16_t unit) {
    return unit == u'\\' || unit == u'/';
}
} // namespace

std::u16string CompactPath(std::u16string_view path) {
    if (path.size() <= CompactPathLimit) {
        return std::u16string(path);
    }
    // The positions of the separators: part k ends where separator k stands.
    std::vector<std::size_t> separators;
    for (std::size_t index = 0; index < path.size(); ++index) {
        if (IsSeparator(path[index])) {
            separators.push_back(index);
        }
    }
    if (separators.empty()) {
        // A single name has nothing to leave out; "name\..." would show a path that is not there.
        return std::u16string(path);
    }
    std::u16string head = std::u16string(path.substr(0, separators.front() + 1)) + u"...";
    // Dropping parts 1..i leaves the head, then the separator before part i + 1 and the rest.
    for (std::size_t part = 1; part < separators.size(); ++part) {
        const std::u16string_view tail = path.substr(separators[part]);
        if (head.size() + tail.size() <= CompactPathLimit) {
            return head + std::u16string(tail);
        }
    }
    return head;
}

std::u16string OverwriteText(const OverwriteQuestion& question, bool compact) {
    std::u16string text = question.target == OverwriteTarget::File ? u"File " : u"Folder ";
    text += compact ? CompactPath(question.path) : question.path;
    text += u" already exists!";
    return text;
}

} // namespace qv::host
