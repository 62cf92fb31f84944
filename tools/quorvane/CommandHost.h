#pragma once

#include "platform/host/ConsoleHost.h"
#include "platform/host/Host.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv::cli {

/// How a generation run treats an existing output that would change.
enum class OverwriteKind { All, None, Ask };

/// One renamed object given on the command line: a table, view or field `from` now called `to`;
/// with `table`, only a field of that table.
struct RenameAnswer {
    std::optional<std::u16string> table;
    std::u16string from;
    std::u16string to;
    std::string text; ///< as the user wrote it, for messages
};

/// The answers the command line gave in advance. A question with an answer here is never put to
/// the user; any other is asked on a terminal. Without one, an output that would change is kept
/// (but for a page that would leave the project's login open, which is replaced), and the
/// template and key questions are answered as their dialogs closed without a button,
/// said on standard error.
struct CommandAnswers {
    bool yes = false;
    OverwriteKind overwrite = OverwriteKind::Ask;
    std::optional<host::TemplateChoice> templateFolder;
    std::optional<host::SyncChoice> keys;
    /// The schema (owner) to choose when the database offers several.
    std::optional<std::u16string> schema;
    /// Renamed objects; set means the mapping is answered from here.
    std::optional<std::vector<RenameAnswer>> renames;
};

/// The host of the command-line program: the console host (progress bar on a terminal, plain
/// lines otherwise, questions on a terminal) with the command line's answers in front of it.
class CommandHost final : public host::Host {
public:
    explicit CommandHost(CommandAnswers answers);

    /// How outputs that would change are treated, when the command line left it to the project.
    void SetOverwriteKind(OverwriteKind kind) { mAnswers.overwrite = kind; }
    /// Shows no more progress: the release of a project at the end of a command unloads its
    /// database under a progress window that would only add noise.
    void SilenceProgress() noexcept { mSilent = true; }

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

    /// The positions of the renames given in advance that no question of the run could use.
    std::vector<std::size_t> UnusedRenames() const;
    /// Holds the run's messages, and what the host says in the user's place, until
    /// ReleaseMessages prints them or DropMessages discards them: a command that may yet give up
    /// what the library did says nothing of it then. A question put on the terminal prints what
    /// is held first, so that it comes after what was said before it.
    void HoldMessages() noexcept { mHolding = true; }
    /// Prints the messages held, in their order, and holds no more.
    void ReleaseMessages();
    /// Discards the messages held, and holds no more.
    void DropMessages();
    /// Whether a message of the run (one with an OK button alone, printed to standard error)
    /// held `text`: a failure the library has shown is not printed a second time.
    bool HasShown(std::u16string_view text) const;

private:
    /// Whether questions can be put to a user: the console asks only when its input is a terminal.
    bool CanAsk() const noexcept { return mCanAsk; }
    /// Says on standard error what the host did in the user's place.
    void Note(std::u16string text);
    /// Prints a message that informs, or holds it.
    void Say(host::Message message);
    /// Prints what is held before a question goes to the terminal.
    void BeforeAsking();
    void PrintHeld();

    CommandAnswers mAnswers;
    host::ConsoleHost mConsole;
    bool mCanAsk;
    std::vector<bool> mRenameUsed;
    bool mSilent = false;
    bool mHolding = false;
    std::vector<host::Message> mHeld;
    std::vector<std::u16string> mShown; ///< the texts of the messages printed, as the library gave them
};

} // namespace qv::cli
