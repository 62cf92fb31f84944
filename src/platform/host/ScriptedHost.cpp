#include "platform/host/ScriptedHost.h"

#include "platform/automation/Text.h"

#include <cstdio>
#include <cstdlib>

namespace qv::host {

namespace {

std::string_view KindName(HostCallKind kind) {
    switch (kind) {
    case HostCallKind::ShowProgress:
        return "progress window";
    case HostCallKind::ProgressInfo:
        return "progress information";
    case HostCallKind::ProgressPercent:
        return "progress percentage";
    case HostCallKind::CancelQuery:
        return "cancel query";
    case HostCallKind::CloseProgress:
        return "progress close";
    case HostCallKind::Message:
        return "message box";
    case HostCallKind::Overwrite:
        return "overwrite prompt";
    case HostCallKind::TemplateFolder:
        return "template folder question";
    case HostCallKind::KeepOrUpdate:
        return "keep/update question";
    case HostCallKind::ChooseSchema:
        return "schema chooser";
    case HostCallKind::MapNames:
        return "name mapping dialog";
    }
    return "call";
}

std::string Describe(const HostCall& call) {
    std::string text(KindName(call.kind));
    if (!call.title.empty()) {
        text += " titled \"" + automation::ToUtf8(call.title) + "\"";
    }
    if (!call.text.empty()) {
        text += " saying \"" + automation::ToUtf8(call.text) + "\"";
    }
    return text;
}

HostCall MakeCall(HostCallKind kind) {
    HostCall call;
    call.kind = kind;
    return call;
}

void AbortOnFailure(const std::string& failure) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
}

} // namespace

ScriptedHost::ScriptedHost() : mFailureHandler(AbortOnFailure) {}

ScriptedHost& ScriptedHost::Answer(ScriptedAnswer answer) {
    mAnswers.push_back(std::move(answer));
    return *this;
}

std::vector<HostCall> ScriptedHost::Calls(HostCallKind kind) const {
    std::vector<HostCall> calls;
    for (const HostCall& call : mCalls) {
        if (call.kind == kind) {
            calls.push_back(call);
        }
    }
    return calls;
}

std::vector<std::u16string> ScriptedHost::Texts(HostCallKind kind) const {
    std::vector<std::u16string> texts;
    for (const HostCall& call : mCalls) {
        if (call.kind == kind) {
            texts.push_back(call.text);
        }
    }
    return texts;
}

std::size_t ScriptedHost::Count(HostCallKind kind) const {
    std::size_t count = 0;
    for (const HostCall& call : mCalls) {
        count += call.kind == kind ? 1 : 0;
    }
    return count;
}

template <class T> std::optional<T> ScriptedHost::Take(const HostCall& call) {
    if (mAnswers.empty()) {
        mFailureHandler("ScriptedHost: no scripted answer for the " + Describe(call));
        return std::nullopt;
    }
    if (T* answer = std::get_if<T>(&mAnswers.front()); answer != nullptr) {
        T value = std::move(*answer);
        mAnswers.pop_front();
        return value;
    }
    // The wrong answer stays queued: the script is out of step from here on.
    mFailureHandler("ScriptedHost: the next scripted answer is not one for the " + Describe(call));
    return std::nullopt;
}

void ScriptedHost::ShowProgress(ProgressStyle style, std::u16string_view caption) {
    HostCall call = MakeCall(HostCallKind::ShowProgress);
    call.style = style;
    call.text = caption;
    mCalls.push_back(std::move(call));
}

void ScriptedHost::SetProgressInfo(std::u16string_view text) {
    HostCall call = MakeCall(HostCallKind::ProgressInfo);
    call.text = text;
    mCalls.push_back(std::move(call));
}

void ScriptedHost::SetProgressPercent(int percent) {
    HostCall call = MakeCall(HostCallKind::ProgressPercent);
    call.percent = percent;
    mCalls.push_back(std::move(call));
}

bool ScriptedHost::IsCancelled() {
    mCalls.push_back(MakeCall(HostCallKind::CancelQuery));
    ++mCancelQueries;
    return mCancelAt && mCancelQueries >= *mCancelAt;
}

void ScriptedHost::CloseProgress() {
    mCalls.push_back(MakeCall(HostCallKind::CloseProgress));
}

MessageAnswer ScriptedHost::ShowMessage(const Message& message) {
    HostCall call = MakeCall(HostCallKind::Message);
    call.icon = message.icon;
    call.buttons = message.buttons;
    call.title = message.title;
    call.text = message.text;
    mCalls.push_back(call);
    // A box with only OK asks nothing, so the script need not answer it.
    if (message.buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    return Take<MessageAnswer>(call).value_or(DefaultMessageAnswer(message, mFallback.Answers()));
}

OverwriteAnswer ScriptedHost::AskOverwrite(const OverwriteQuestion& question) {
    HostCall call = MakeCall(HostCallKind::Overwrite);
    call.target = question.target;
    call.title = question.title;
    call.text = OverwriteText(question);
    call.path = question.path;
    mCalls.push_back(call);
    return Take<OverwriteAnswer>(call).value_or(DefaultOverwriteAnswer(question, mFallback.Answers()));
}

TemplateChoice ScriptedHost::AskTemplateFolder(const TemplateQuestion& question) {
    HostCall call = MakeCall(HostCallKind::TemplateFolder);
    call.title = question.title;
    call.text = TemplateFolderText;
    mCalls.push_back(call);
    return Take<TemplateChoice>(call).value_or(mFallback.Answers().templateFolder);
}

SyncChoice ScriptedHost::AskKeepOrUpdate(const SyncQuestion& question) {
    HostCall call = MakeCall(HostCallKind::KeepOrUpdate);
    call.title = question.title;
    call.text = question.text;
    mCalls.push_back(call);
    return Take<SyncChoice>(call).value_or(mFallback.Answers().sync);
}

SchemaAnswer ScriptedHost::ChooseSchema(const SchemaQuestion& question) {
    HostCall call = MakeCall(HostCallKind::ChooseSchema);
    call.title = question.title;
    call.text = SchemaPromptText;
    call.names = question.schemas;
    mCalls.push_back(call);
    return Take<SchemaAnswer>(call).value_or(DefaultSchemaAnswer(question, mFallback.Answers()));
}

NameMapAnswer ScriptedHost::MapNames(const NameMapQuestion& question) {
    HostCall call = MakeCall(HostCallKind::MapNames);
    call.title = question.title;
    call.text = question.message;
    call.names = question.newNames;
    call.oldNames = question.oldNames;
    call.headings = {question.newHeading, question.oldHeading};
    mCalls.push_back(call);
    std::optional<NameMapAnswer> answer = Take<NameMapAnswer>(call);
    if (!answer) {
        return {};
    }
    // An answer for another list would rename the wrong objects: hold the script to the contract.
    if (answer->confirmed && answer->oldNames.size() != question.newNames.size()) {
        mFailureHandler("ScriptedHost: the scripted name mapping has " +
                        std::to_string(answer->oldNames.size()) + " entries for " +
                        std::to_string(question.newNames.size()) + " new names in the " + Describe(call));
        return {};
    }
    return *answer;
}

} // namespace qv::host
