#include "CommandHost.h"

#include "CommandLine.h"

#include "model/table/TableNameReading.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <string>

#include <unistd.h>

namespace qv::cli {

namespace {

host::ConsoleOptions ConsoleOptionsFor(const CommandAnswers& answers) {
    host::ConsoleOptions options;
    options.answers.yes = answers.yes;
    // Without a terminal, an output that would change is kept: nothing a user made is lost to
    // a run nobody watched. A page that would leave the project's login open as it is is the
    // exception: it is replaced, and the library keeps the earlier one as a backup. The
    // template and key questions are answered as a dialog closed without a button, which the
    // library reads as "extract again" and "take the database's key", so that a stale template
    // or key is never kept for good by default.
    options.answers.overwrite = {host::OverwriteChoice::Skip, /*all=*/false};
    options.answers.overwriteLeavingOpen = {host::OverwriteChoice::Overwrite, /*all=*/false};
    options.answers.templateFolder = answers.templateFolder.value_or(host::TemplateChoice::Closed);
    options.answers.sync = answers.keys.value_or(host::SyncChoice::Closed);
    options.answers.firstSchema = false;
    return options;
}

/// The table whose fields a name-mapping question is about, from its title ("Table: NAME - New
/// fields found in schema"); nullopt for the question about tables and views.
std::optional<std::u16string> QuestionTable(std::u16string_view title) {
    constexpr std::u16string_view Start = u"Table: ";
    constexpr std::u16string_view End = u" - New fields found in schema";
    if (!title.starts_with(Start) || !title.ends_with(End) || title.size() < Start.size() + End.size()) {
        return std::nullopt;
    }
    return std::u16string(title.substr(Start.size(), title.size() - Start.size() - End.size()));
}

bool IsKeyQuestion(std::u16string_view text) {
    return automation::ToLower(text).find(u"primary key") != std::u16string::npos;
}

} // namespace

CommandHost::CommandHost(CommandAnswers answers)
    : mAnswers(std::move(answers)), mConsole(ConsoleOptionsFor(mAnswers)),
      mCanAsk(::isatty(STDIN_FILENO) == 1) {}

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

void CommandHost::Note(std::u16string text) {
    // A message with only an OK button is written on standard error, clear of the progress line.
    Say({u"quorvane", std::move(text), host::MessageIcon::Information, host::MessageButtons::Ok});
}

void CommandHost::Say(host::Message message) {
    if (mHolding) {
        mHeld.push_back(std::move(message));
        return;
    }
    mConsole.ShowMessage(message);
}

void CommandHost::BeforeAsking() {
    // A question on the terminal comes after what the run has said so far; what it says after
    // the answer is held again.
    if (CanAsk()) {
        PrintHeld();
    }
}

void CommandHost::PrintHeld() {
    std::vector<host::Message> held = std::move(mHeld);
    mHeld.clear();
    for (const host::Message& message : held) {
        mConsole.ShowMessage(message);
    }
}

void CommandHost::ReleaseMessages() {
    mHolding = false;
    PrintHeld();
}

void CommandHost::DropMessages() {
    mHeld.clear();
    mHolding = false;
}

host::MessageAnswer CommandHost::ShowMessage(const host::Message& message) {
    if (mAnswers.yes && (message.buttons == host::MessageButtons::YesNo ||
                         message.buttons == host::MessageButtons::YesNoCancel)) {
        return host::MessageAnswer::Yes;
    }
    if (message.buttons == host::MessageButtons::Ok) {
        // Information goes to standard error as the program's own messages do.
        mShown.push_back(message.text);
        host::Message shown = message;
        shown.text = automation::FromUtf8(ProgramMessage(message.text));
        Say(std::move(shown));
        return host::MessageAnswer::Ok;
    }
    BeforeAsking();
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
    if (!CanAsk()) {
        const host::OverwriteAnswer answer = host::DefaultOverwriteAnswer(question, mConsole.Answers());
        Note(u"quorvane: " + host::OverwriteText(question, /*compact=*/false) +
             (answer.choice == host::OverwriteChoice::Overwrite
                  ? u" -> Overwrite (unattended, as the page may leave the login open; --overwrite none "
                    u"keeps it)"
                  : u" -> Skip (unattended; --overwrite all replaces it)"));
        return answer;
    }
    BeforeAsking();
    return mConsole.AskOverwrite(question);
}

host::TemplateChoice CommandHost::AskTemplateFolder(const host::TemplateQuestion& question) {
    if (mAnswers.templateFolder) {
        return *mAnswers.templateFolder;
    }
    if (!CanAsk()) {
        Note(u"quorvane: no terminal to ask whether to keep the extracted template folder: answered as "
             u"the dialog closed without a button, so the package is extracted again "
             u"(--template-folder keep|replace answers it)");
        return host::TemplateChoice::Closed;
    }
    BeforeAsking();
    return mConsole.AskTemplateFolder(question);
}

host::SyncChoice CommandHost::AskKeepOrUpdate(const host::SyncQuestion& question) {
    if (mAnswers.keys) {
        return *mAnswers.keys;
    }
    if (!CanAsk()) {
        Note(u"quorvane: no terminal to ask: " + question.text +
             u"\nquorvane: answered as the dialog closed " +
             (IsKeyQuestion(question.text)
                  ? u"without a button: the database's key is taken (--keys keep|update answers it)"
                  : u"without a button: the project is loaded as it was saved ('quorvane sync' then "
                    u"updates it to the database)"));
        return host::SyncChoice::Closed;
    }
    BeforeAsking();
    return mConsole.AskKeepOrUpdate(question);
}

host::SchemaAnswer CommandHost::ChooseSchema(const host::SchemaQuestion& question) {
    if (mAnswers.schema) {
        return {*mAnswers.schema};
    }
    BeforeAsking();
    return mConsole.ChooseSchema(question);
}

host::NameMapAnswer CommandHost::MapNames(const host::NameMapQuestion& question) {
    if (!mAnswers.renames) {
        BeforeAsking();
        return mConsole.MapNames(question);
    }
    const std::vector<RenameAnswer>& renames = *mAnswers.renames;
    mRenameUsed.resize(renames.size(), false);
    const std::optional<std::u16string> table = QuestionTable(question.title);
    host::NameMapAnswer answer{true, {}};
    // A table-qualified entry answers only the fields of that table: one that names it exactly
    // before one that names it in another letter case, which may mean another table of the
    // database.
    const auto answers = [&](const RenameAnswer& rename, NameMatch match) {
        if (!rename.table) {
            return match == NameMatch::Exact;
        }
        return table && (match == NameMatch::Exact ? *rename.table == *table
                                                   : automation::EqualsNoCase(*rename.table, *table));
    };
    for (const std::u16string& newName : question.newNames) {
        std::u16string oldName;
        for (const NameMatch match : {NameMatch::Exact, NameMatch::IgnoringCase}) {
            for (std::size_t index = 0; index < renames.size() && oldName.empty(); ++index) {
                const RenameAnswer& rename = renames[index];
                if (answers(rename, match) && rename.to == newName &&
                    std::find(question.oldNames.begin(), question.oldNames.end(), rename.from) !=
                        question.oldNames.end()) {
                    oldName = rename.from;
                    mRenameUsed[index] = true;
                }
            }
        }
        answer.oldNames.push_back(oldName);
    }
    return answer;
}

bool CommandHost::HasShown(std::u16string_view text) const {
    return std::any_of(mShown.begin(), mShown.end(),
                       [&](const std::u16string& shown) { return shown.find(text) != std::u16string::npos; });
}

std::vector<std::size_t> CommandHost::UnusedRenames() const {
    std::vector<std::size_t> unused;
    if (!mAnswers.renames) {
        return unused;
    }
    for (std::size_t index = 0; index < mAnswers.renames->size(); ++index) {
        if (index >= mRenameUsed.size() || !mRenameUsed[index]) {
            unused.push_back(index);
        }
    }
    return unused;
}

} // namespace qv::cli
