#pragma once

#include "platform/host/Host.h"

namespace qv::host {

/// The answers a host gives without asking anybody. The defaults lose nothing: they keep
/// existing files, the extracted template folder and the project's definition, and answer No.
/// The one exception is a page that would leave a login open as it is: it is replaced, and the
/// library keeps the earlier page beside it as a backup.
struct DefaultAnswers {
    /// Yes/No and Yes/No/Cancel boxes answer Yes when set, else No; OK/Cancel boxes answer OK
    /// when set, else Cancel; OK boxes answer OK.
    bool yes = false;
    OverwriteAnswer overwrite{OverwriteChoice::Skip, /*all=*/true};
    /// The answer about an existing page whose question names what it leaves open.
    OverwriteAnswer overwriteLeavingOpen{OverwriteChoice::Overwrite, /*all=*/false};
    TemplateChoice templateFolder = TemplateChoice::Keep;
    SyncChoice sync = SyncChoice::Keep;
    /// The schema to choose when it is offered (matched exactly); otherwise the first offered
    /// schema when `firstSchema` is set, else none (the form is closed without a choice).
    std::u16string schema;
    bool firstSchema = false;
};

MessageAnswer DefaultMessageAnswer(const Message& message, const DefaultAnswers& answers);
/// The overwrite answer of `answers` for the question, marked as the host's own.
OverwriteAnswer DefaultOverwriteAnswer(const OverwriteQuestion& question, const DefaultAnswers& answers);
SchemaAnswer DefaultSchemaAnswer(const SchemaQuestion& question, const DefaultAnswers& answers);

/// A host for unattended runs: shows nothing, never blocks, answers every question from its
/// DefaultAnswers and is never cancelled. Name mapping is never confirmed, so nothing is
/// renamed behind the user's back. With a log descriptor it writes each message box and each
/// question with the answer it gave, one line each, in UTF-8.
class HeadlessHost : public Host {
public:
    explicit HeadlessHost(DefaultAnswers answers = {}, int logFd = -1);

    const DefaultAnswers& Answers() const noexcept { return mAnswers; }

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
    void Log(std::u16string_view line) const;

    DefaultAnswers mAnswers;
    int mLogFd;
};

} // namespace qv::host
