#include "CommandHost.h"

#include <algorithm>

namespace qv::cli {

namespace {

host::ConsoleOptions ConsoleOptionsFor(const CommandAnswers& answers) {
    host::ConsoleOptions options;
    options.answers.yes = answers.yes;
    // Without a terminal, an output that would change is kept and the extracted template
    // folder too: nothing a user made is lost to a run nobody watched.
    options.answers.overwrite = {host::OverwriteChoice::Skip, /*all=*/false};
    options.answers.templateFolder = answers.templateFolder.value_or(host::TemplateChoice::Keep);
    options.answers.sync = answers.keys.value_or(host::SyncChoice::Keep);
    options.answers.firstSchema = false;
    return options;
}

} // namespace

CommandHost::CommandHost(CommandAnswers answers)
    : mAnswers(std::move(answers)), mConsole(ConsoleOptionsFor(mAnswers)) {}

void CommandHost::ShowProgress(host::ProgressStyle style, std::u16string_view caption) {
    if (mSilent) {
        return;
    }
    mConsole.ShowProgress(style, caption);
}

void CommandHost::SetProgressInfo(std::u16string_view text) {
    mConsole.SetProgressInfo(text);
}

void CommandHost::SetProgressPercent(int percent) {
    mConsole.SetProgressPercent(percent);
}

bool CommandHost::IsCancelled() {
    return mConsole.IsCancelled();
}

void CommandHost::CloseProgress() {
    mConsole.CloseProgress();
}

host::MessageAnswer CommandHost::ShowMessage(const host::Message& message) {
    if (mAnswers.yes && (message.buttons == host::MessageButtons::YesNo ||
                         message.buttons == host::MessageButtons::YesNoCancel)) {
        return host::MessageAnswer::Yes;
    }
    return mConsole.ShowMessage(message);
}

host::OverwriteAnswer CommandHost::AskOverwrite(const host::OverwriteQuestion& question) {
    // Only outputs that would change are asked about; one that would come out the same is left
    // alone by the library before it gets here.
    switch (mAnswers.overwrite) {
    case OverwriteKind::All:
        return {host::OverwriteChoice::Overwrite, /*all=*/false};
    case OverwriteKind::None:
        return {host::OverwriteChoice::Skip, /*all=*/false};
    case OverwriteKind::Ask:
        break;
    }
    return mConsole.AskOverwrite(question);
}

host::TemplateChoice CommandHost::AskTemplateFolder(const host::TemplateQuestion& question) {
    if (mAnswers.templateFolder) {
        return *mAnswers.templateFolder;
    }
    return mConsole.AskTemplateFolder(question);
}

host::SyncChoice CommandHost::AskKeepOrUpdate(const host::SyncQuestion& question) {
    if (mAnswers.keys) {
        return *mAnswers.keys;
    }
    return mConsole.AskKeepOrUpdate(question);
}

host::SchemaAnswer CommandHost::ChooseSchema(const host::SchemaQuestion& question) {
    if (mAnswers.schema) {
        return {*mAnswers.schema};
    }
    return mConsole.ChooseSchema(question);
}

host::NameMapAnswer CommandHost::MapNames(const host::NameMapQuestion& question) {
    if (!mAnswers.renames) {
        return mConsole.MapNames(question);
    }
    host::NameMapAnswer answer{true, {}};
    for (const std::u16string& newName : question.newNames) {
        std::u16string oldName;
        for (const auto& [from, to] : *mAnswers.renames) {
            if (to == newName && std::find(question.oldNames.begin(), question.oldNames.end(), from) !=
                                     question.oldNames.end()) {
                oldName = from;
                break;
            }
        }
        answer.oldNames.push_back(oldName);
    }
    return answer;
}

} // namespace qv::cli
