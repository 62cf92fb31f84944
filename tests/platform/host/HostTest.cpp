#include "platform/host/ConsoleHost.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/ScriptedHost.h"

#include "platform/automation/Text.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>

using qv::automation::FromUtf8;
using qv::automation::ToUtf8;
namespace host = qv::host;

namespace {

/// A pipe whose ends close with the object.
class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(mEnds), 0); }
    ~Pipe() {
        CloseWrite();
        ::close(mEnds[0]);
    }
    int Read() const { return mEnds[0]; }
    void Send(const std::string& text) {
        EXPECT_EQ(::write(mEnds[1], text.data(), text.size()), ssize_t(text.size()));
    }
    void CloseWrite() {
        if (mEnds[1] >= 0) {
            ::close(mEnds[1]);
            mEnds[1] = -1;
        }
    }

private:
    int mEnds[2] = {-1, -1};
};

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int OpenOutput(const qv::test::TempDir& dir) {
    return ::open((dir / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
}

host::ConsoleOptions Options(int inputFd, int outputFd, std::optional<bool> inputIsTerminal,
                             std::optional<bool> outputIsTerminal = std::nullopt) {
    host::ConsoleOptions options;
    options.inputFd = inputFd;
    options.outputFd = outputFd;
    options.inputIsTerminal = inputIsTerminal;
    options.outputIsTerminal = outputIsTerminal;
    return options;
}

host::Message YesNoCancel(const char16_t* text) {
    return {u"Quorvane", text, host::MessageIcon::Question, host::MessageButtons::YesNoCancel};
}

} // namespace

TEST(HostCompactPath, KeepsTheFirstPartAndAsManyTrailingPartsAsFit) {
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\Documents and Settings\\user\\My Documents\\site\\admin\\pages\\orders_list.asp",
         u"C:\\...\\My Documents\\site\\admin\\pages\\orders_list.asp"},
        {u"C:\\short\\path.asp", u"C:\\short\\path.asp"},
        {u"/home/someone/projects/a-rather-long-folder-name/site/admin/pages/orders_list.asp",
         u"/.../site/admin/pages/orders_list.asp"},
        {u"C:\\x\\a-single-file-name-that-is-far-too-long-to-fit-in-the-label.asp", u"C:\\..."},
        {u"a-single-file-name-without-any-folder-that-is-too-long-for-the-label.asp",
         u"a-single-file-name-without-any-folder-that-is-too-long-for-the-label.asp"},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(ToUtf8(testCase.path));
        EXPECT_EQ(host::CompactPath(testCase.path), testCase.expected);
    }
    EXPECT_EQ(host::CompactPath(std::u16string(55, u'x')).size(), 55u);
    EXPECT_EQ(host::OverwriteText({u"Q", host::OverwriteTarget::Folder, u"C:\\site\\img"}),
              u"Folder C:\\site\\img already exists!");
}

TEST(ScriptedHost, RecordsEveryCallAndAnswersFromTheScript) {
    host::ScriptedHost scripted;
    scripted.Answer(host::MessageAnswer::Yes)
        .Answer(host::OverwriteAnswer{host::OverwriteChoice::Skip, true})
        .Answer(host::SyncChoice::Closed)
        .Answer(host::SchemaAnswer{u"SALES"})
        .Answer(host::NameMapAnswer{true, {u"Orders", u""}});
    scripted.CancelAtQuery(2);
    host::Host& host = scripted;

    host.ShowProgress(host::ProgressStyle::Cancellable, u"Quorvane - Generating ASP Scripts...");
    host.SetProgressInfo(u"Please wait...");
    host.SetProgressPercent(150);
    EXPECT_FALSE(host.IsCancelled());
    EXPECT_EQ(
        host.ShowMessage({u"", u"Queries not loaded", host::MessageIcon::None, host::MessageButtons::Ok}),
        host::MessageAnswer::Ok)
        << "an OK box takes no scripted answer";
    EXPECT_EQ(host.ShowMessage(YesNoCancel(u"Folder does not exist! Do you want to create it?")),
              host::MessageAnswer::Yes);
    const host::OverwriteAnswer overwrite =
        host.AskOverwrite({u"Quorvane", host::OverwriteTarget::File, u"/s/a.asp"});
    EXPECT_EQ(overwrite.choice, host::OverwriteChoice::Skip);
    EXPECT_TRUE(overwrite.all);
    EXPECT_EQ(host.AskKeepOrUpdate({u"Quorvane", u"Primary key for \"T\" has been modified."}),
              host::SyncChoice::Closed);
    EXPECT_EQ(host.ChooseSchema({u"Quorvane", {u"HR", u"SALES"}}).schema,
              std::optional<std::u16string>(u"SALES"));
    const host::NameMapAnswer mapped = host.MapNames({u"New table found in schema",
                                                      u"To use old settings",
                                                      u"New table",
                                                      u"Old table",
                                                      {u"Orders2", u"Items"},
                                                      {u"Orders"}});
    EXPECT_EQ(mapped.oldNames, (std::vector<std::u16string>{u"Orders", u""}));
    EXPECT_TRUE(host.IsCancelled());
    host.CloseProgress();

    EXPECT_EQ(scripted.PendingAnswers(), 0u);
    EXPECT_EQ(scripted.Calls().size(), 12u);
    EXPECT_EQ(scripted.Calls().front().style, host::ProgressStyle::Cancellable);
    EXPECT_EQ(scripted.Calls(host::HostCallKind::ProgressPercent).at(0).percent, 150);
    EXPECT_EQ(scripted.Texts(host::HostCallKind::Message),
              (std::vector<std::u16string>{u"Queries not loaded",
                                           u"Folder does not exist! Do you want to create it?"}));
    EXPECT_EQ(scripted.Calls(host::HostCallKind::Overwrite).at(0).text, u"File /s/a.asp already exists!");
    EXPECT_EQ(scripted.Calls(host::HostCallKind::ChooseSchema).at(0).names.size(), 2u);
    EXPECT_EQ(scripted.Calls(host::HostCallKind::MapNames).at(0).headings,
              (std::vector<std::u16string>{u"New table", u"Old table"}));
}

TEST(ScriptedHost, AQuestionWithoutItsAnswerFailsClearly) {
    host::ScriptedHost scripted;
    std::vector<std::string> failures;
    scripted.SetFailureHandler([&](const std::string& failure) { failures.push_back(failure); });

    // Nothing queued: reported, then answered as an unattended host would.
    EXPECT_EQ(scripted.AskTemplateFolder({u"Quorvane"}), host::TemplateChoice::Keep);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("no scripted answer for the template folder question"), std::string::npos);

    // An answer of another kind is not taken for this question.
    scripted.Answer(host::TemplateChoice::Overwrite);
    EXPECT_EQ(scripted.ShowMessage(YesNoCancel(u"Database exists! Overwrite?")), host::MessageAnswer::No);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[1].find("Database exists! Overwrite?"), std::string::npos);
    EXPECT_EQ(scripted.PendingAnswers(), 1u);

    // A mapping of the wrong length would rename the wrong objects.
    scripted.Answer(host::NameMapAnswer{true, {u"a"}});
    EXPECT_EQ(scripted.AskTemplateFolder({u"Quorvane"}), host::TemplateChoice::Overwrite);
    EXPECT_FALSE(scripted.MapNames({u"t", u"m", u"n", u"o", {u"x", u"y"}, {u"a"}}).confirmed);
    EXPECT_EQ(failures.size(), 3u);
}

TEST(ScriptedHostDeathTest, AbortsOnAnUnscriptedQuestionByDefault) {
    host::ScriptedHost scripted;
    EXPECT_DEATH(scripted.AskKeepOrUpdate({u"Quorvane", u"Keep?"}),
                 "no scripted answer for the keep/update question");
}

TEST(HeadlessHost, AnswersFromItsDefaultsAndLogsWhatItAnswered) {
    qv::test::TempDir dir;
    const int log = OpenOutput(dir);
    host::HeadlessHost cautious({}, log);
    EXPECT_EQ(cautious.ShowMessage(YesNoCancel(u"Create it?")), host::MessageAnswer::No);
    EXPECT_EQ(cautious.AskOverwrite({u"Q", host::OverwriteTarget::File, u"/s/a.asp"}).choice,
              host::OverwriteChoice::Skip);
    EXPECT_EQ(cautious.AskTemplateFolder({u"Q"}), host::TemplateChoice::Keep);
    EXPECT_EQ(cautious.AskKeepOrUpdate({u"Q", u"Keep?"}), host::SyncChoice::Keep);
    EXPECT_FALSE(cautious.ChooseSchema({u"Q", {u"HR"}}).schema);
    EXPECT_FALSE(cautious.MapNames({u"t", u"m", u"n", u"o", {u"x"}, {u"y"}}).confirmed);
    EXPECT_FALSE(cautious.IsCancelled());
    ::close(log);
    EXPECT_EQ(ReadAll(dir / "out.txt").substr(0, 47), "Create it? -> No (unattended)\nFile /s/a.asp alr");

    host::DefaultAnswers answers;
    answers.yes = true;
    answers.overwrite = {host::OverwriteChoice::Overwrite, true};
    answers.schema = u"SALES";
    host::HeadlessHost willing(answers);
    EXPECT_EQ(willing.ShowMessage(YesNoCancel(u"Create it?")), host::MessageAnswer::Yes);
    EXPECT_EQ(willing.ShowMessage({u"", u"OK?", host::MessageIcon::None, host::MessageButtons::OkCancel}),
              host::MessageAnswer::Ok);
    EXPECT_EQ(willing.ChooseSchema({u"Q", {u"HR", u"SALES"}}).schema,
              std::optional<std::u16string>(u"SALES"));
    EXPECT_FALSE(willing.ChooseSchema({u"Q", {u"HR"}}).schema)
        << "a schema that is not offered is not chosen";
}

TEST(ConsoleHost, NeverReadsWhenTheInputIsNoTerminal) {
    qv::test::TempDir dir;
    Pipe input; // kept open and empty: a read would wait for ever
    const int output = OpenOutput(dir);
    host::ConsoleHost console(Options(input.Read(), output, false));
    auto answers = std::async(std::launch::async, [&] {
        return std::make_pair(console.ShowMessage(YesNoCancel(u"Create it?")),
                              console.AskOverwrite({u"Q", host::OverwriteTarget::File, u"/s/a.asp"}).choice);
    });
    if (answers.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        input.CloseWrite(); // lets the blocked read end before failing
        FAIL() << "the console host waited for input";
    }
    const auto [message, overwrite] = answers.get();
    EXPECT_EQ(message, host::MessageAnswer::No);
    EXPECT_EQ(overwrite, host::OverwriteChoice::Skip);
    // A page that would leave a login open is replaced by the host's own answer, marked as such.
    const host::OverwriteAnswer leavesOpen = console.AskOverwrite(
        {u"Q", host::OverwriteTarget::File, u"/s/b.asp", u"serve visitors who have not logged in"});
    EXPECT_EQ(leavesOpen.choice, host::OverwriteChoice::Overwrite);
    EXPECT_TRUE(leavesOpen.byDefault);
    ::close(output);
    EXPECT_NE(ReadAll(dir / "out.txt").find("File /s/a.asp already exists! -> Skip all (unattended)"),
              std::string::npos);
}

TEST(ConsoleHost, AsksOnATerminalUntilTheAnswerIsValid) {
    qv::test::TempDir dir;
    Pipe input;
    input.Send("maybe\nY\n\n2\nk\n");
    input.CloseWrite();
    const int output = OpenOutput(dir);
    host::ConsoleHost console(Options(input.Read(), output, true));
    EXPECT_EQ(console.ShowMessage(YesNoCancel(u"Create it?")), host::MessageAnswer::Yes);
    EXPECT_EQ(console.ChooseSchema({u"Q", {u"HR", u"SALES"}}).schema,
              std::optional<std::u16string>(u"SALES"));
    EXPECT_EQ(console.AskOverwrite({u"Q", host::OverwriteTarget::File, u"/a"}).all, true);
    // The input has ended: from here on the unattended answers.
    EXPECT_EQ(console.AskKeepOrUpdate({u"Q", u"Keep?"}), host::SyncChoice::Keep);
    ::close(output);
    EXPECT_NE(ReadAll(dir / "out.txt").find("Please choose a schema to proceed!"), std::string::npos);
}

TEST(ConsoleHost, ProgressRedrawsAtMostTenTimesASecond) {
    qv::test::TempDir dir;
    const int output = OpenOutput(dir);
    {
        host::ConsoleHost console(Options(0, output, false, true));
        const auto start = std::chrono::steady_clock::now();
        console.ShowProgress(host::ProgressStyle::Standard, u"Quorvane - Loading Database...");
        for (int step = 0; step < 200000; ++step) {
            console.SetProgressInfo(u"Loading TABLE/VIEW \"Orders\"...");
            console.SetProgressPercent(step % 101);
        }
        console.CloseProgress();
        const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::size_t size = ReadAll(dir / "out.txt").size();
        // One line per draw: the first, then at most one per tenth of a second.
        EXPECT_LE(size, 100 * (2 + static_cast<std::size_t>(elapsed * 10)));
    }
    ::close(output);
    const std::string text = ReadAll(dir / "out.txt");
    EXPECT_EQ(text.rfind("\r\x1b[K"), text.size() - 4) << "the status line is cleared at the end";

    // Not a terminal: the caption once as a plain line, no bar.
    const int plain = OpenOutput(dir);
    host::ConsoleHost console(Options(0, plain, false, false));
    console.ShowProgress(host::ProgressStyle::Busy, u"Quorvane - Merging extensions...");
    console.SetProgressPercent(50);
    console.CloseProgress();
    ::close(plain);
    EXPECT_EQ(ReadAll(dir / "out.txt"), "Quorvane - Merging extensions...\n");
}
