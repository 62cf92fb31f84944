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

private:
    CommandAnswers mAnswers;
    host::ConsoleHost mConsole;
    bool mSilent = false;
};

} // namespace qv::cli
