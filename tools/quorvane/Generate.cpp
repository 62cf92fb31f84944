#include "Commands.h"

#include "CommandLine.h"
#include "Session.h"

#include "generate/Generator.h"
#include "project/GenerationService.h"
#include "project/Qel.h"

#include "platform/system/Paths.h"

#include <optional>
#include <ostream>
#include <string>
#include <system_error>

namespace qv::cli {

namespace fs = std::filesystem;

namespace {

std::u16string Trimmed(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) {
        text.remove_suffix(1);
    }
    return std::u16string(text);
}

fs::path NativeFolder(std::u16string_view text) {
    return system::ToNativePath(text).lexically_normal();
}

/// Turns the project's prompt switch on for one run and puts it back afterwards, so that every
/// existing output that would change comes to the host, which answers as the command line says.
class PromptScope {
public:
    explicit PromptScope(Qel& project) : mProject(project), mPrompt(project.PromptOnOverwrite()) {
        project.SetPromptOnOverwrite(true);
    }
    ~PromptScope() { mProject.SetPromptOnOverwrite(mPrompt); }
    PromptScope(const PromptScope&) = delete;
    PromptScope& operator=(const PromptScope&) = delete;

private:
    Qel& mProject;
    bool mPrompt;
};

} // namespace

bool RootFollowsDestination(Qel& project) {
    return Trimmed(project.AppRootFolder()).empty() ||
           NativeFolder(project.AppRootFolder()) == NativeFolder(project.Destination());
}

void MoveDestination(Qel& project, std::u16string_view folder) {
    const bool rootFollows = RootFollowsDestination(project);
    project.SetDestination(folder);
    if (rootFollows) {
        project.SetAppRootFolder(project.Destination());
    }
}

void GenerateSite(Session& session, std::ostream& out) {
    Qel& project = session.Project();
    const std::u16string destinationText = Trimmed(project.Destination());
    if (destinationText.empty()) {
        throw CommandError("quorvane: generate: the project has no Destination; give --destination DIR, or "
                           "'quorvane set PROJECT.xml Destination=DIR'");
    }
    std::error_code error;
    const fs::path destination = NativeFolder(destinationText);
    if (fs::exists(destination, error) && !fs::is_directory(destination, error)) {
        throw CommandError("quorvane: generate: the destination " + destination.string() +
                           " is a file, not a folder; give --destination DIR, or 'quorvane set PROJECT.xml "
                           "Destination=DIR'");
    }
    {
        // Outputs that would come out the same are left alone by the library itself, without a
        // question: only those that would change are asked about.
        const PromptScope prompt(project);
        session.Guard([&] { project.GenScript(); });
    }
    session.ThrowIfFailed();

    OutputTally outputs;
    if (const auto* generator = dynamic_cast<const Generator*>(FindGenerationService())) {
        outputs = generator->LastRun().outputs;
    }
    // Pages that came out the same are told apart from those kept although they changed, and
    // from those a switch kept from being built at all (whose difference nobody knows).
    out << "Generated " << NativeFolder(destinationText).string() << ": " << outputs.created << " new, "
        << outputs.replaced << " replaced, " << outputs.unchanged << " left as they were, " << outputs.kept
        << " kept although changed, " << outputs.notRebuilt
        << " not rebuilt as TblOverwrite or OtherOverwrite is False, " << outputs.failed
        << " could not be written\n";
    // The library shows why each of them failed and goes on with the rest; the site still lacks
    // what the run made, so the run has failed.
    std::string failures;
    if (outputs.failed > 0) {
        failures = "quorvane: generate: " + std::to_string(outputs.failed) +
                   (outputs.failed == 1 ? " output" : " outputs") +
                   " could not be written (see the messages above); the site is not up to date";
    }
    // A page kept as it was told or by a switch that keeps it from being written, which may leave
    // the project's login open, stays; the site is not what the login needs, so the run has
    // failed all the same.
    if (outputs.leftOpen > 0) {
        failures += (failures.empty() ? "" : "\n");
        failures += "quorvane: generate: " + std::to_string(outputs.leftOpen) +
                    (outputs.leftOpen == 1 ? " page was kept although it may"
                                           : " pages were kept although they may") +
                    " leave the login open (see the messages above, which say what kept each); "
                    "--overwrite all replaces those an answer kept";
    }
    if (!failures.empty()) {
        throw CommandError(failures);
    }
}

void GenerateCommand(const std::vector<std::string>& arguments, std::ostream& out) {
    const CommandLine line("generate", arguments,
                           {{"template"}, {"destination"}, {"overwrite"}, {"template-folder"}});
    if (line.HelpWanted()) {
        out << HelpText("generate");
        return;
    }
    line.ExpectPositional(1, 1, "PROJECT.xml");
    CommandAnswers answers;
    const std::optional<std::string> overwrite = line.Choice("overwrite", {"all", "none", "ask"});
    if (std::optional<std::string> folder = line.Choice("template-folder", {"keep", "replace"})) {
        answers.templateFolder =
            *folder == "keep" ? host::TemplateChoice::Keep : host::TemplateChoice::Overwrite;
    }
    Session session(std::move(answers));
    session.Load(line.Positional()[0]);
    Qel& project = session.Project();
    const OverwriteKind kind = !overwrite
                                   ? (project.PromptOnOverwrite() ? OverwriteKind::Ask : OverwriteKind::All)
                               : *overwrite == "all"  ? OverwriteKind::All
                               : *overwrite == "none" ? OverwriteKind::None
                                                      : OverwriteKind::Ask;
    session.Host().SetOverwriteKind(kind);
    if (std::optional<std::string> package = line.Value("template")) {
        std::error_code error;
        if (!fs::is_regular_file(*package, error)) {
            throw CommandError("quorvane: generate: no template package " + *package);
        }
        project.SetTemplate(LibraryPath(*package));
    }
    if (std::optional<std::string> folder = line.Value("destination")) {
        MoveDestination(project, LibraryPath(*folder));
    }
    GenerateSite(session, out);
}

} // namespace qv::cli
