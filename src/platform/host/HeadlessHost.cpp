#include "platform/host/HeadlessHost.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include <unistd.h>

namespace qv::host {

namespace {

std::u16string_view ChoiceText(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Ok:
        return u"OK";
    case MessageAnswer::Cancel:
        return u"Cancel";
    case MessageAnswer::Yes:
        return u"Yes";
    case MessageAnswer::No:
        return u"No";
    }
    return {};
}

std::u16string_view ChoiceText(OverwriteChoice choice) {
    switch (choice) {
    case OverwriteChoice::Overwrite:
        return u"Overwrite";
    case OverwriteChoice::Skip:
        return u"Skip";
    case OverwriteChoice::Cancel:
        return u"Cancel";
    case OverwriteChoice::Closed:
        return u"closed";
    }
    return {};
}

std::u16string_view ChoiceText(TemplateChoice choice) {
    switch (choice) {
    case TemplateChoice::Keep:
        return u"Keep";
    case TemplateChoice::Overwrite:
        return u"Overwrite";
    case TemplateChoice::Closed:
        return u"closed";
    }
    return {};
}

std::u16string_view ChoiceText(SyncChoice choice) {
    switch (choice) {
    case SyncChoice::Keep:
        return u"Keep";
    case SyncChoice::Update:
        return u"Update";
    case SyncChoice::Closed:
        return u"closed";
    }
    return {};
}

std::u16string Answered(std::u16string_view question, std::u16string_view answer) {
    return std::u16string(question) + u" -> " + std::u16string(answer) + u" (unattended)";
}

} // namespace

MessageAnswer DefaultMessageAnswer(const Message& message, const DefaultAnswers& answers) {
    switch (message.buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::OkCancel:
        return answers.yes ? MessageAnswer::Ok : MessageAnswer::Cancel;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return answers.yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

OverwriteAnswer DefaultOverwriteAnswer(const OverwriteQuestion& question, const DefaultAnswers& answers) {
    OverwriteAnswer answer = question.leavesOpen.empty() ? answers.overwrite : answers.overwriteLeavingOpen;
    answer.byDefault = true;
    return answer;
}

SchemaAnswer DefaultSchemaAnswer(const SchemaQuestion& question, const DefaultAnswers& answers) {
    if (!answers.schema.empty() && std::find(question.schemas.begin(), question.schemas.end(),
                                             answers.schema) != question.schemas.end()) {
        return {answers.schema};
    }
    if (answers.firstSchema && !question.schemas.empty()) {
        return {question.schemas.front()};
    }
    return {};
}

HeadlessHost::HeadlessHost(DefaultAnswers answers, int logFd) : mAnswers(std::move(answers)), mLogFd(logFd) {}

void HeadlessHost::Log(std::u16string_view line) const {
    if (mLogFd < 0) {
        return;
    }
    std::string bytes = automation::ToUtf8(line);
    bytes += '\n';
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(mLogFd, bytes.data() + written, bytes.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return; // a log that cannot be written must not stop the work
        }
        written += static_cast<std::size_t>(result);
    }
}

void HeadlessHost::ShowProgress(ProgressStyle, std::u16string_view) {}
void HeadlessHost::SetProgressInfo(std::u16string_view) {}
void HeadlessHost::SetProgressPercent(int) {}
bool HeadlessHost::IsCancelled() {
    return false;
}
void HeadlessHost::CloseProgress() {}

MessageAnswer HeadlessHost::ShowMessage(const Message& message) {
    const MessageAnswer answer = DefaultMessageAnswer(message, mAnswers);
    if (message.buttons == MessageButtons::Ok) {
        Log(message.text);
    } else {
        Log(Answered(message.text, ChoiceText(answer)));
    }
    return answer;
}

OverwriteAnswer HeadlessHost::AskOverwrite(const OverwriteQuestion& question) {
    const OverwriteAnswer given = DefaultOverwriteAnswer(question, mAnswers);
    std::u16string answer(ChoiceText(given.choice));
    if (given.all) {
        answer += u" all";
    }
    Log(Answered(OverwriteText(question, /*compact=*/false), answer));
    return given;
}

TemplateChoice HeadlessHost::AskTemplateFolder(const TemplateQuestion&) {
    Log(Answered(TemplateFolderText, ChoiceText(mAnswers.templateFolder)));
    return mAnswers.templateFolder;
}

SyncChoice HeadlessHost::AskKeepOrUpdate(const SyncQuestion& question) {
    Log(Answered(question.text, ChoiceText(mAnswers.sync)));
    return mAnswers.sync;
}

SchemaAnswer HeadlessHost::ChooseSchema(const SchemaQuestion& question) {
    SchemaAnswer answer = DefaultSchemaAnswer(question, mAnswers);
    Log(Answered(SchemaPromptText, answer.schema ? *answer.schema : u"no schema chosen"));
    return answer;
}

NameMapAnswer HeadlessHost::MapNames(const NameMapQuestion& question) {
    Log(Answered(question.title, u"nothing mapped"));
    return {};
}

} // namespace qv::host
