#pragma once

#include "platform/host/ConsoleHost.h"
#include "platform/host/Host.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::cli {

/// How a generation run treats an existing output that would change.
enum class OverwriteKind { All, None, Ask };

/// The answers the command line gave in advance. A question with an answer here is never put to
/// the user; any other is asked on a terminal and otherwise answered by the console host's
/// defaults, which keep what exists.
struct CommandAnswers {
    bool yes = false;
    OverwriteKind overwrite = OverwriteKind::Ask;
    std::optional<host::TemplateChoice> templateFolder;
    std::optional<host::SyncChoice> keys;
    /// The schema (owner) to choose when the database offers several.
    std::optional<std::u16string> schema;
    /// Renamed objects, old name and new name; set means the mapping is answered from here.
    std::optional<std::vector<std::pair<std::u16string, std::u16string>>> renames;
};

/// What one generation run did with outputs that already existed.
struct OverwriteTally {
    std::vector<std::u16string> replaced;
    std::vector<std::u16string> unchanged;
    std::vector<std::u16string> kept;
};

/// The host of the command-line program: the console host (progress bar on a terminal, plain
/// lines otherwise, questions on a terminal) with the command line's answers in front of it.
/// During a generation run it may also be told which existing outputs would come out the same,
/// so that they are neither asked about nor written again.
class CommandHost final : public host::Host {
public:
    explicit CommandHost(CommandAnswers answers);

    /// `unchanged(path)`: true when the run would write exactly what the file or folder at
    /// `path` already holds. Empty: every existing output counts as changed.
    void SetUnchangedTest(std::function<bool(const std::u16string&)> unchanged);
    /// How outputs that would change are treated, when the command line left it to the project.
    void SetOverwriteKind(OverwriteKind kind) { mAnswers.overwrite = kind; }
    const OverwriteTally& Tally() const noexcept { return mTally; }
    /// Shows no more progress: the release of a project at the end of a command unloads its
    /// database under a progress window that would only add noise.
    void SilenceProgress() noexcept { mSilent = true; }
    void ResetTally() { mTally = {}; }

    void ShowProgress(host::ProgressStyle style, std::u16string_view caption) override;
    void SetProgressInfo(std::u16string_view text) override;
    void SetProgressPercent(int percent) override;
    bool IsCancelled() override;
    void CloseProgress() override;
    host::MessageAnswer ShowMessage(const host::Message& message) override;
    host::OverwriteAnswer AskOverwrite(const host::OverwriteQuestion& question) override;
    host::TemplateChoice AskTemplateFolder(const host::TemplateQuestion& question) override;
    host::SyncChoice AskKeepOrUpdate(const host::SyncQuestion& question) override;
    host::SchemaAnswer ChooseSchema(const host::SchemaQuestion& question) override;
    host::NameMapAnswer MapNames(const host::NameMapQuestion& question) override;

private:
    host::OverwriteChoice DecideOverwrite(const host::OverwriteQuestion& question);

    CommandAnswers mAnswers;
    host::ConsoleHost mConsole;
    std::function<bool(const std::u16string&)> mUnchanged;
    /// "All" answered on the terminal; remembered here rather than by the library, so that
    /// outputs that stay the same are still recognised after it.
    std::optional<host::OverwriteChoice> mAnswerForAll;
    OverwriteTally mTally;
    bool mSilent = false;
};

} // namespace qv::cli
