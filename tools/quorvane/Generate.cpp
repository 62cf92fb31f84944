#include "Commands.h"

#include "CommandLine.h"
#include "Session.h"

#include "project/Qel.h"

#include "platform/system/Paths.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
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

/// Every regular file below `folder`, relative to it; empty for a missing folder.
std::set<fs::path> FilesBelow(const fs::path& folder) {
    std::set<fs::path> files;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return files;
    }
    for (auto entry = fs::recursive_directory_iterator(folder, error); !error && entry != fs::end(entry);
         entry.increment(error)) {
        if (entry->is_regular_file(error)) {
            files.insert(fs::relative(entry->path(), folder, error));
        }
    }
    return files;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::file_size(a, error) != fs::file_size(b, error) || error) {
        return false;
    }
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    return std::equal(std::istreambuf_iterator<char>(first), {}, std::istreambuf_iterator<char>(second));
}

/// Whether two files, or two folders with all they hold, are the same.
bool SameContent(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::is_regular_file(a, error) && fs::is_regular_file(b, error)) {
        return SameBytes(a, b);
    }
    if (!fs::is_directory(a, error) || !fs::is_directory(b, error)) {
        return false;
    }
    const std::set<fs::path> files = FilesBelow(a);
    if (files != FilesBelow(b)) {
        return false;
    }
    return std::all_of(files.begin(), files.end(),
                       [&](const fs::path& file) { return SameBytes(a / file, b / file); });
}

/// `path` relative to `base` when it lies inside it (or is it); nullopt else.
std::optional<fs::path> RelativeInside(const fs::path& path, const fs::path& base) {
    const fs::path relative = path.lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") {
        return std::nullopt;
    }
    return relative;
}

/// A fresh folder in the temporary folder, removed with all it holds when this goes.
class StagingFolder {
public:
    StagingFolder() {
        std::string pattern = (fs::temp_directory_path() / "quorvane-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw CommandError("quorvane generate: cannot make a temporary folder in " +
                               fs::temp_directory_path().string());
        }
        mPath = pattern;
    }
    ~StagingFolder() {
        std::error_code error;
        fs::remove_all(mPath, error);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const fs::path& Path() const noexcept { return mPath; }

private:
    fs::path mPath;
};

/// Points the project's output folders elsewhere for one run and puts them back afterwards.
class OutputFoldersScope {
public:
    OutputFoldersScope(Qel& project, const std::u16string& destination, const std::u16string& appRoot)
        : mProject(project), mDestination(project.Destination()), mAppRoot(project.AppRootFolder()) {
        project.SetDestination(destination);
        project.SetAppRootFolder(appRoot);
    }
    ~OutputFoldersScope() {
        mProject.SetDestination(mDestination);
        mProject.SetAppRootFolder(mAppRoot);
    }
    OutputFoldersScope(const OutputFoldersScope&) = delete;
    OutputFoldersScope& operator=(const OutputFoldersScope&) = delete;

private:
    Qel& mProject;
    std::u16string mDestination;
    std::u16string mAppRoot;
};

void RunGeneration(Session& session) {
    session.Guard([&] { session.Project().GenScript(); });
    session.ThrowIfFailed();
}

/// The outputs (all files of `folder`, or those of `staged` when the run was staged) that did
/// not exist before and do now; a backup beside a replaced output is not one.
std::size_t CountNew(const std::set<fs::path>& before, const fs::path& folder,
                     const std::optional<fs::path>& staged) {
    std::size_t count = 0;
    for (const fs::path& file : FilesBelow(staged ? *staged : folder)) {
        std::error_code error;
        count += before.count(file) == 0 && fs::exists(folder / file, error) ? 1 : 0;
    }
    return count;
}

} // namespace

void GenerateSite(Session& session, std::ostream& out) {
    Qel& project = session.Project();
    const std::u16string destinationText = Trimmed(project.Destination());
    if (destinationText.empty()) {
        throw CommandError("quorvane generate: the project has no Destination; give --destination DIR, or "
                           "'quorvane set PROJECT.xml Destination=DIR'");
    }
    const std::u16string appRootText = Trimmed(project.AppRootFolder());
    const fs::path destination = NativeFolder(destinationText);
    const fs::path appRoot = appRootText.empty() ? destination : NativeFolder(appRootText);
    const bool separateRoot = appRoot != destination;

    const std::set<fs::path> destinationBefore = FilesBelow(destination);
    const std::set<fs::path> appRootBefore = separateRoot ? FilesBelow(appRoot) : std::set<fs::path>();
    CommandHost& host = session.Host();
    host.ResetTally();
    std::size_t stagedOutputs = 0;
    std::optional<fs::path> stagedDestination;
    std::optional<fs::path> stagedRoot;
    std::optional<StagingFolder> staging;
    if (destinationBefore.empty() && appRootBefore.empty()) {
        host.SetUnchangedTest({});
        RunGeneration(session);
    } else {
        // The run is made once into an empty folder, so that each output's new content is known
        // before the real run asks whether an existing one may be replaced.
        staging.emplace();
        stagedDestination = staging->Path() / "site";
        stagedRoot = separateRoot ? staging->Path() / "root" : *stagedDestination;
        {
            OutputFoldersScope scope(project, system::FromNativePath(*stagedDestination),
                                     appRootText.empty() ? std::u16string()
                                                         : system::FromNativePath(*stagedRoot));
            host.SetUnchangedTest({});
            RunGeneration(session);
        }
        stagedOutputs =
            FilesBelow(*stagedDestination).size() + (separateRoot ? FilesBelow(*stagedRoot).size() : 0);
        host.SetUnchangedTest([&](const std::u16string& path) {
            const fs::path target = NativeFolder(path);
            std::optional<fs::path> relative = RelativeInside(target, destination);
            fs::path staged = *stagedDestination;
            if (separateRoot) {
                // The longer of two nested roots is the one an output was placed under.
                std::optional<fs::path> underRoot = RelativeInside(target, appRoot);
                if (underRoot && (!relative || appRoot.native().size() > destination.native().size())) {
                    relative = underRoot;
                    staged = *stagedRoot;
                }
            }
            return relative && SameContent(target, staged / *relative);
        });
        host.ResetTally();
        // Every existing output that its switch lets be replaced comes to the host, which knows
        // whether it would change.
        const bool prompt = project.PromptOnOverwrite();
        project.SetPromptOnOverwrite(true);
        try {
            RunGeneration(session);
        } catch (...) {
            project.SetPromptOnOverwrite(prompt);
            host.SetUnchangedTest({});
            throw;
        }
        project.SetPromptOnOverwrite(prompt);
        host.SetUnchangedTest({});
    }

    const std::size_t created = CountNew(destinationBefore, destination, stagedDestination) +
                                (separateRoot ? CountNew(appRootBefore, appRoot, stagedRoot) : 0);
    const std::size_t replaced = host.Tally().replaced.size();
    out << "Generated " << destination.string() << ": " << created << " new, " << replaced << " replaced, "
        << (stagedOutputs > created + replaced ? stagedOutputs - created - replaced : 0)
        << " left as they were\n";
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
            throw CommandError("quorvane generate: no template package " + *package);
        }
        project.SetTemplate(LibraryPath(*package));
    }
    if (std::optional<std::string> folder = line.Value("destination")) {
        // Output folders under the application root follow the site when the two were one.
        const bool rootFollows = Trimmed(project.AppRootFolder()).empty() ||
                                 NativeFolder(project.AppRootFolder()) == NativeFolder(project.Destination());
        project.SetDestination(LibraryPath(*folder));
        if (rootFollows) {
            project.SetAppRootFolder(project.Destination());
        }
    }
    GenerateSite(session, out);
}

} // namespace qv::cli
