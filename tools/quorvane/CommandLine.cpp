#include "CommandLine.h"

#include "platform/automation/Text.h"

#include <algorithm>

namespace qv::cli {

std::string ProgramMessage(std::u16string_view libraryText) {
    // The library starts its texts with the product's name; the program's own name replaces it,
    // so that every message of the program starts the same way.
    constexpr std::u16string_view LibraryPrefix = u"Quorvane: ";
    if (libraryText.starts_with(LibraryPrefix)) {
        libraryText.remove_prefix(LibraryPrefix.size());
    }
    return "quorvane: " + automation::ToUtf8(libraryText);
}

void UsageError(std::string_view command, const std::string& text) {
    throw CommandError("quorvane: " + std::string(command) + ": " + text + "\nTry 'quorvane " +
                           std::string(command) + " --help'.",
                       2);
}

CommandLine::CommandLine(std::string_view command, const std::vector<std::string>& arguments,
                         const std::vector<OptionSpec>& options)
    : mCommand(command) {
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            mPositional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument.substr(2);
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "help") {
            mHelp = true;
            continue;
        }
        const auto known = std::find_if(options.begin(), options.end(),
                                        [&](const OptionSpec& option) { return option.name == name; });
        if (known == options.end()) {
            UsageError(mCommand, "unknown option --" + name);
        }
        std::string value;
        if (known->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (index + 1 < arguments.size()) {
                value = arguments[++index];
            } else {
                UsageError(mCommand, "option --" + name + " needs a value");
            }
        } else if (inlineValue) {
            UsageError(mCommand, "option --" + name + " takes no value");
        }
        std::vector<std::string>& values = mOptions[name];
        if (!values.empty() && !known->repeatable) {
            UsageError(mCommand, "option --" + name + " is given twice");
        }
        values.push_back(std::move(value));
    }
}

bool CommandLine::Has(std::string_view name) const {
    return mOptions.find(name) != mOptions.end();
}

std::optional<std::string> CommandLine::Value(std::string_view name) const {
    const auto found = mOptions.find(name);
    if (found == mOptions.end()) {
        return std::nullopt;
    }
    return found->second.front();
}

std::vector<std::string> CommandLine::Values(std::string_view name) const {
    const auto found = mOptions.find(name);
    return found == mOptions.end() ? std::vector<std::string>() : found->second;
}

std::optional<std::string> CommandLine::Choice(std::string_view name,
                                               const std::vector<std::string>& choices) const {
    std::optional<std::string> value = Value(name);
    if (value && std::find(choices.begin(), choices.end(), *value) == choices.end()) {
        std::string allowed;
        for (const std::string& choice : choices) {
            allowed += (allowed.empty() ? "" : ", ") + choice;
        }
        UsageError(mCommand,
                   "--" + std::string(name) + " takes one of " + allowed + ", not '" + *value + "'");
    }
    return value;
}

void CommandLine::ExpectPositional(std::size_t minimum, int maximum, std::string_view what) const {
    if (mPositional.size() < minimum) {
        UsageError(mCommand, "missing " + std::string(what));
    }
    if (maximum >= 0 && mPositional.size() > static_cast<std::size_t>(maximum)) {
        UsageError(mCommand, "unexpected argument '" + mPositional[static_cast<std::size_t>(maximum)] + "'");
    }
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        if (comma > start) {
            parts.emplace_back(text.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return parts;
}

} // namespace qv::cli
