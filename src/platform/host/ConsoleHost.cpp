#include "platform/host/ConsoleHost.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include <sys/ioctl.h>
#include <unistd.h>

namespace qv::host {

namespace {

constexpr std::size_t DefaultTerminalWidth = 80;
constexpr std::size_t BarWidth = 20;

std::u16string Trimmed(std::u16string_view text) {
    const auto isBlank = [](char16_t unit) { return unit == u' ' || unit == u'\t'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return std::u16string(text);
}

std::u16string Number(std::size_t value) {
    return automation::FromUtf8(std::to_string(value));
}

/// The 1-based number typed as an answer, or 0 when the text is no such number.
std::size_t ParseChoice(std::u16string_view text, std::size_t count) {
    if (text.empty() || text.size() > 9) {
        return 0;
    }
    std::size_t value = 0;
    for (const char16_t unit : text) {
        if (unit < u'0' || unit > u'9') {
            return 0;
        }
        value = value * 10 + static_cast<std::size_t>(unit - u'0');
    }
    return value <= count ? value : 0;
}

} // namespace

ConsoleHost::ConsoleHost(ConsoleOptions options)
    : mOptions(std::move(options)), mFallback(mOptions.answers, mOptions.outputFd),
      mInputIsTerminal(mOptions.inputIsTerminal.value_or(::isatty(mOptions.inputFd) == 1)),
      mOutputIsTerminal(mOptions.outputIsTerminal.value_or(::isatty(mOptions.outputFd) == 1)) {}

ConsoleHost::~ConsoleHost() {
    ClearStatusLine();
}

void ConsoleHost::Write(std::u16string_view text) {
    const std::string bytes = automation::ToUtf8(text);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(mOptions.outputFd, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return; // a closed terminal must not stop the work
        }
        written += static_cast<std::size_t>(result);
    }
}

void ConsoleHost::WriteLine(std::u16string_view text) {
    ClearStatusLine();
    Write(text);
    Write(u"\n");
}

void ConsoleHost::ClearStatusLine() {
    if (!mStatusLineShown) {
        return;
    }
    Write(u"\r\x1b[K");
    mStatusLineShown = false;
}

std::size_t ConsoleHost::TerminalWidth() const {
    winsize size{};
    if (::ioctl(mOptions.outputFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return DefaultTerminalWidth;
}

void ConsoleHost::Redraw() {
    std::u16string line = mCaption;
    if (mStyle != ProgressStyle::Busy) {
        const std::size_t filled = static_cast<std::size_t>(mPercent) * BarWidth / 100;
        line += u" [";
        line.append(filled, u'#');
        line.append(BarWidth - filled, u'-');
        line += u"] ";
        line += Number(static_cast<std::size_t>(mPercent));
        line += u'%';
    }
    if (!mInfo.empty()) {
        line += u" ";
        line += mInfo;
    }
    // One column short of the width, so the terminal never wraps the status line.
    const std::size_t width = TerminalWidth();
    if (line.size() >= width) {
        line.resize(width > 1 ? width - 1 : 0);
    }
    Write(u"\r");
    Write(line);
    Write(u"\x1b[K");
    mStatusLineShown = true;
    mLastDraw = std::chrono::steady_clock::now();
}

void ConsoleHost::RedrawAfterQuestion() {
    if (mProgressOpen && mOutputIsTerminal) {
        Redraw();
    }
}

void ConsoleHost::RedrawIfDue() {
    if (!mProgressOpen || !mOutputIsTerminal) {
        return;
    }
    if (std::chrono::steady_clock::now() - mLastDraw >= mOptions.redrawInterval) {
        Redraw();
    }
}

void ConsoleHost::ShowProgress(ProgressStyle style, std::u16string_view caption) {
    mProgressOpen = true;
    mStyle = style;
    mCaption = caption;
    mInfo.clear();
    mPercent = 0;
    if (mOutputIsTerminal) {
        Redraw();
        return;
    }
    WriteLine(caption);
}

void ConsoleHost::SetProgressInfo(std::u16string_view text) {
    if (!mProgressOpen) {
        return;
    }
    mInfo = text;
    RedrawIfDue();
}

void ConsoleHost::SetProgressPercent(int percent) {
    if (!mProgressOpen) {
        return;
    }
    mPercent = std::clamp(percent, 0, 100);
    RedrawIfDue();
}

// The terminal offers no cancel button; an interrupt ends the program instead.
bool ConsoleHost::IsCancelled() {
    return false;
}

void ConsoleHost::CloseProgress() {
    if (!mProgressOpen) {
        return;
    }
    ClearStatusLine();
    mProgressOpen = false;
}

std::optional<std::u16string> ConsoleHost::ReadAnswer(std::u16string_view prompt) {
    ClearStatusLine();
    Write(prompt);
    std::string line;
    for (;;) {
        char byte = 0;
        const ssize_t result = ::read(mOptions.inputFd, &byte, 1);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            if (line.empty()) {
                mInputEnded = true;
                Write(u"\n");
                return std::nullopt;
            }
            break;
        }
        if (byte == '\n') {
            break;
        }
        line += byte;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return Trimmed(automation::FromUtf8(line));
}

std::optional<char16_t> ConsoleHost::AskLetter(std::u16string_view prompt, std::u16string_view letters) {
    for (;;) {
        std::optional<std::u16string> answer = ReadAnswer(prompt);
        if (!answer) {
            return std::nullopt;
        }
        if (answer->empty()) {
            continue;
        }
        const char16_t letter = automation::LowerChar(answer->front());
        if (letters.find(letter) != std::u16string_view::npos) {
            return letter;
        }
    }
}

MessageAnswer ConsoleHost::ShowMessage(const Message& message) {
    ClearStatusLine();
    // A box with only OK informs: the line stays visible without a keypress.
    if (message.buttons == MessageButtons::Ok || !CanAsk()) {
        const MessageAnswer answer = mFallback.ShowMessage(message);
        RedrawAfterQuestion();
        return answer;
    }
    WriteLine(message.text);
    std::optional<char16_t> letter;
    switch (message.buttons) {
    case MessageButtons::OkCancel:
        letter = AskLetter(u"[o]k or [c]ancel? ", u"oc");
        break;
    case MessageButtons::YesNo:
        letter = AskLetter(u"[y]es or [n]o? ", u"yn");
        break;
    case MessageButtons::YesNoCancel:
        letter = AskLetter(u"[y]es, [n]o or [c]ancel? ", u"ync");
        break;
    case MessageButtons::Ok:
        break;
    }
    if (!letter) {
        return mFallback.ShowMessage(message);
    }
    RedrawAfterQuestion();
    switch (*letter) {
    case u'o':
        return MessageAnswer::Ok;
    case u'y':
        return MessageAnswer::Yes;
    case u'n':
        return MessageAnswer::No;
    default:
        return MessageAnswer::Cancel;
    }
}

OverwriteAnswer ConsoleHost::AskOverwrite(const OverwriteQuestion& question) {
    if (!CanAsk()) {
        ClearStatusLine();
        return mFallback.AskOverwrite(question);
    }
    WriteLine(OverwriteText(question, /*compact=*/false));
    if (!question.leavesOpen.empty()) {
        WriteLine(u"As it is, it may " + question.leavesOpen + u".");
    }
    const std::optional<char16_t> letter =
        AskLetter(u"[o]verwrite, [s]kip, overwrite [a]ll, s[k]ip all or [c]ancel? ", u"oskac");
    if (!letter) {
        return mFallback.AskOverwrite(question);
    }
    RedrawAfterQuestion();
    switch (*letter) {
    case u'o':
        return {OverwriteChoice::Overwrite, false};
    case u's':
        return {OverwriteChoice::Skip, false};
    case u'a':
        return {OverwriteChoice::Overwrite, true};
    case u'k':
        return {OverwriteChoice::Skip, true};
    default:
        return {OverwriteChoice::Cancel, false};
    }
}

TemplateChoice ConsoleHost::AskTemplateFolder(const TemplateQuestion& question) {
    if (!CanAsk()) {
        ClearStatusLine();
        return mFallback.AskTemplateFolder(question);
    }
    WriteLine(TemplateFolderText);
    const std::optional<char16_t> letter = AskLetter(u"[k]eep or [o]verwrite? ", u"ko");
    if (!letter) {
        return mFallback.AskTemplateFolder(question);
    }
    RedrawAfterQuestion();
    return *letter == u'k' ? TemplateChoice::Keep : TemplateChoice::Overwrite;
}

SyncChoice ConsoleHost::AskKeepOrUpdate(const SyncQuestion& question) {
    if (!CanAsk()) {
        ClearStatusLine();
        return mFallback.AskKeepOrUpdate(question);
    }
    WriteLine(question.text);
    const std::optional<char16_t> letter = AskLetter(u"[k]eep or [u]pdate? ", u"ku");
    if (!letter) {
        return mFallback.AskKeepOrUpdate(question);
    }
    RedrawAfterQuestion();
    return *letter == u'k' ? SyncChoice::Keep : SyncChoice::Update;
}

SchemaAnswer ConsoleHost::ChooseSchema(const SchemaQuestion& question) {
    if (!CanAsk()) {
        ClearStatusLine();
        return mFallback.ChooseSchema(question);
    }
    WriteLine(SchemaPromptText);
    for (std::size_t index = 0; index < question.schemas.size(); ++index) {
        WriteLine(u"  " + Number(index + 1) + u". " + question.schemas[index]);
    }
    for (;;) {
        std::optional<std::u16string> answer =
            ReadAnswer(std::u16string(SchemaHeadingText) + u" (number or name): ");
        if (!answer) {
            return mFallback.ChooseSchema(question);
        }
        if (answer->empty()) {
            // The form insists on a choice before it closes.
            WriteLine(SchemaRequiredText);
            continue;
        }
        // As in the form's combo box, a name may also be typed that is not in the list.
        RedrawAfterQuestion();
        if (const std::size_t choice = ParseChoice(*answer, question.schemas.size()); choice > 0) {
            return {question.schemas[choice - 1]};
        }
        return {*answer};
    }
}

NameMapAnswer ConsoleHost::MapNames(const NameMapQuestion& question) {
    if (!CanAsk()) {
        ClearStatusLine();
        return mFallback.MapNames(question);
    }
    WriteLine(question.title);
    WriteLine(question.message);
    WriteLine(question.oldHeading + u":");
    for (std::size_t index = 0; index < question.oldNames.size(); ++index) {
        WriteLine(u"  " + Number(index + 1) + u". " + question.oldNames[index]);
    }
    NameMapAnswer answer{true, {}};
    for (const std::u16string& newName : question.newNames) {
        const std::u16string prompt = question.newHeading + u" \"" + newName + u"\": " + question.oldHeading +
                                      u" (number, empty for none): ";
        for (;;) {
            std::optional<std::u16string> line = ReadAnswer(prompt);
            if (!line) {
                // Input ended before the dialog was confirmed: nothing is renamed.
                return mFallback.MapNames(question);
            }
            if (line->empty()) {
                answer.oldNames.emplace_back();
                break;
            }
            if (const std::size_t choice = ParseChoice(*line, question.oldNames.size()); choice > 0) {
                answer.oldNames.push_back(question.oldNames[choice - 1]);
                break;
            }
        }
    }
    RedrawAfterQuestion();
    return answer;
}

} // namespace qv::host
