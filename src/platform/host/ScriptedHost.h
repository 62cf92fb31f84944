#pragma once

#include "platform/host/HeadlessHost.h"
#include "platform/host/Host.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qv::host {

enum class HostCallKind : std::uint8_t {
    ShowProgress,
    ProgressInfo,
    ProgressPercent,
    CancelQuery,
    CloseProgress,
    Message,
    Overwrite,
    TemplateFolder,
    KeepOrUpdate,
    ChooseSchema,
    MapNames,
};

/// One call a ScriptedHost received. Fields a kind does not use stay empty.
struct HostCall {
    HostCallKind kind = HostCallKind::Message;
    ProgressStyle style = ProgressStyle::Standard; ///< ShowProgress
    std::u16string title;                          ///< message box and dialog title
    /// ShowProgress: the caption; ProgressInfo: the line; Message: the text; Overwrite: the
    /// prompt's label (OverwriteText); TemplateFolder: TemplateFolderText; KeepOrUpdate: the
    /// question; MapNames: the message.
    std::u16string text;
    int percent = 0; ///< ProgressPercent, as passed (not clamped)
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    std::u16string path; ///< Overwrite: the full path asked about
    OverwriteTarget target = OverwriteTarget::File;
    std::vector<std::u16string> names;    ///< ChooseSchema: schemas offered; MapNames: new names
    std::vector<std::u16string> oldNames; ///< MapNames: old names
    std::vector<std::u16string> headings; ///< MapNames: new and old column headings
};

/// One scripted answer; each question takes the next answer, which must be of its type.
using ScriptedAnswer =
    std::variant<MessageAnswer, OverwriteAnswer, TemplateChoice, SyncChoice, SchemaAnswer, NameMapAnswer>;

/// A host for tests: records every call in order and answers questions from a queue of
/// scripted answers. A question with no answer queued, or whose next answer is of another
/// type, is a test failure: the failure handler gets a text naming the question (by default
/// it prints it and aborts, so the test cannot pass by accident), and the question is then
/// answered as HeadlessHost would.
class ScriptedHost : public Host {
public:
    using FailureHandler = std::function<void(const std::string& failure)>;

    ScriptedHost();

    /// Tests set a handler that records a failure (such as ADD_FAILURE) instead of aborting.
    void SetFailureHandler(FailureHandler handler) { mFailureHandler = std::move(handler); }

    /// Queues answers, taken first in, first out.
    ScriptedHost& Answer(ScriptedAnswer answer);
    std::size_t PendingAnswers() const noexcept { return mAnswers.size(); }

    /// IsCancelled answers true from its `query`-th call on (1-based); nullopt: never.
    void CancelAtQuery(std::optional<int> query) { mCancelAt = query; }

    const std::vector<HostCall>& Calls() const noexcept { return mCalls; }
    std::vector<HostCall> Calls(HostCallKind kind) const;
    /// The `text` of every call of a kind, in order.
    std::vector<std::u16string> Texts(HostCallKind kind) const;
    std::size_t Count(HostCallKind kind) const;
    void ClearCalls() { mCalls.clear(); }

    void ShowProgress(ProgressStyle style, std::u16string_view caption) override;
    void SetProgressInfo(std::u16string_view text) override;
    void SetProgressPercent(int percent) override;
    bool IsCancelled() override;
    void CloseProgress() override;
    MessageAnswer ShowMessage(const Message& message) override;
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override;
    TemplateChoice AskTemplateFolder(const TemplateQuestion& question) override;
    SyncChoice AskKeepOrUpdate(const SyncQuestion& question) override;
    SchemaAnswer ChooseSchema(const SchemaQuestion& question) override;
    NameMapAnswer MapNames(const NameMapQuestion& question) override;

private:
    /// Takes the next answer if it holds a T; otherwise reports the failure and returns nullopt.
    template <class T> std::optional<T> Take(const HostCall& call);

    std::vector<HostCall> mCalls;
    std::deque<ScriptedAnswer> mAnswers;
    FailureHandler mFailureHandler;
    HeadlessHost mFallback;
    std::optional<int> mCancelAt;
    int mCancelQueries = 0;
};

} // namespace qv::host
