#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv::cli {

/// A failure the user must see: its text goes to standard error as it is, and the program
/// exits with `status` (1 for a failed operation, 2 for a command line it cannot read).
class CommandError : public std::runtime_error {
public:
    explicit CommandError(const std::string& text, int status = 1)
        : std::runtime_error(text), mStatus(status) {}
    int Status() const noexcept { return mStatus; }

private:
    int mStatus;
};

/// A text of the library as the program's message: "quorvane: " and the text, without the
/// product name the library starts its texts with.
std::string ProgramMessage(std::u16string_view libraryText);

/// Raises a CommandError with status 2 and the usage hint for `command`.
[[noreturn]] void UsageError(std::string_view command, const std::string& text);

/// One option a command accepts: `--name VALUE` when it takes a value, `--name` alone else.
/// A repeatable option collects every value in order; any other given twice is an error.
struct OptionSpec {
    std::string_view name;
    bool takesValue = true;
    bool repeatable = false;
};

/// The arguments of one command, after its name: options (also as `--name=VALUE`) and the
/// positional arguments in order. "--" ends the options.
class CommandLine {
public:
    CommandLine(std::string_view command, const std::vector<std::string>& arguments,
                const std::vector<OptionSpec>& options);

    bool HelpWanted() const noexcept { return mHelp; }
    const std::vector<std::string>& Positional() const noexcept { return mPositional; }
    bool Has(std::string_view name) const;
    /// The value of a single option, or nullopt when it was not given.
    std::optional<std::string> Value(std::string_view name) const;
    /// Every value of a repeatable option, in the order given.
    std::vector<std::string> Values(std::string_view name) const;
    /// The value of an option that must be one of `choices`; nullopt when not given.
    std::optional<std::string> Choice(std::string_view name, const std::vector<std::string>& choices) const;

    /// Positional arguments: at least `minimum`, at most `maximum` (-1: no limit).
    void ExpectPositional(std::size_t minimum, int maximum, std::string_view what) const;

private:
    std::string mCommand;
    bool mHelp = false;
    std::vector<std::string> mPositional;
    std::map<std::string, std::vector<std::string>, std::less<>> mOptions;
};

/// Splits "A,B,C" at the commas, dropping empty parts.
std::vector<std::string> SplitList(std::string_view text);

} // namespace qv::cli
