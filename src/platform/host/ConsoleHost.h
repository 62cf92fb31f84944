#pragma once

#include "platform/host/HeadlessHost.h"
#include "platform/host/Host.h"

#include <chrono>
#include <optional>
#include <string>

namespace qv::host {

struct ConsoleOptions {
    int inputFd = 0;  ///< where answers are read from
    int outputFd = 2; ///< where the bar, messages and questions go
    /// The answers when the input is not a terminal or ends (the host then never blocks).
    DefaultAnswers answers;
    /// The bar is redrawn at most this often, so that progress never slows long work.
    std::chrono::milliseconds redrawInterval{100};
    /// Overrides the terminal tests of the two descriptors (for tests).
    std::optional<bool> inputIsTerminal;
    std::optional<bool> outputIsTerminal;
};

/// The command-line host. On a terminal it draws the progress window as one status line
/// (caption, bar, information line) and asks questions, reading one line per answer. When the
/// output is not a terminal it writes each caption once as a plain line and no bar; when the
/// input is not a terminal it answers like HeadlessHost and never reads. Text is UTF-8.
class ConsoleHost : public Host {
public:
    explicit ConsoleHost(ConsoleOptions options = {});
    ~ConsoleHost() override;
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    /// The answers given when the input is not a terminal or has ended.
    const DefaultAnswers& Answers() const noexcept { return mFallback.Answers(); }

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
    bool CanAsk() const noexcept { return mInputIsTerminal && !mInputEnded; }
    /// Prints the prompt and reads one line; nullopt at the end of the input.
    std::optional<std::u16string> ReadAnswer(std::u16string_view prompt);
    /// Asks until the first letter of the answer is one of `letters` (any case); nullopt when
    /// the input ends.
    std::optional<char16_t> AskLetter(std::u16string_view prompt, std::u16string_view letters);
    void Write(std::u16string_view text);
    void WriteLine(std::u16string_view text);
    /// Clears the status line before other output, so the two never mix.
    void ClearStatusLine();
    void RedrawIfDue();
    /// Puts the status line back after a question scrolled it away.
    void RedrawAfterQuestion();
    void Redraw();
    std::size_t TerminalWidth() const;

    ConsoleOptions mOptions;
    HeadlessHost mFallback;
    bool mInputIsTerminal;
    bool mOutputIsTerminal;
    bool mInputEnded = false;
    bool mProgressOpen = false;
    bool mStatusLineShown = false;
    ProgressStyle mStyle = ProgressStyle::Standard;
    std::u16string mCaption;
    std::u16string mInfo;
    int mPercent = 0;
    std::chrono::steady_clock::time_point mLastDraw;
};

} // namespace qv::host
