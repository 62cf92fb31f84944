#pragma once

#include "CommandHost.h"

#include "project/ProjectFileStorage.h"
#include "project/Qel.h"

#include "platform/automation/Ref.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace qv::cli {

/// Whether loading a project compares it with its live database (when its AutoSync asks for
/// it). Commands that only read or change settings skip it, so that they work while the
/// database is down and do not pay for reading a large schema.
enum class LoadCheckKind { Synchronize, SettingsOnly };

/// One command's use of the library: the apartment with the command host, the generation and
/// synchronisation services, and one project object. Library failures become CommandErrors
/// carrying the library's own text.
class Session {
public:
    explicit Session(CommandAnswers answers, LoadCheckKind check = LoadCheckKind::Synchronize);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Qel& Project() { return *mProject; }
    const Qel& Project() const { return *mProject; }
    CommandHost& Host() { return mHost; }

    /// Loads a project file; a file that does not exist fails before the library is asked. A
    /// failure carries the library's text and, on the next line, what the user can do about it.
    /// Each element the load read past is named on standard error; a command that holds the
    /// file's lock, and so means to save, stops there when the library would refuse the save.
    void Load(const std::filesystem::path& file);
    /// Saves the project; the library refuses, with the file left as it is, when its load read
    /// past elements of the file, which the save would drop.
    void Save(const std::filesystem::path& file);
    /// Takes the project file's lock, to hold from Load to Save in a command that changes it.
    [[nodiscard]] ProjectFileLock Lock(const std::filesystem::path& file);
    /// Raises the library's error text when ProjErr holds one, else clears nothing.
    void ThrowIfFailed();
    /// Runs a library call that may raise (Save, CheckDB, a generation abort) and turns what it
    /// raises into a CommandError with the library's text.
    template <class Action> auto Guard(Action action) -> decltype(action());

private:
    [[noreturn]] void ThrowLibraryError(const std::u16string& description);
    /// What the user needs beyond the library's text of a failed load: the XML layer's reason
    /// for a file that does not parse, the way out for a database that cannot be reached.
    std::u16string LoadFailureDetail(const std::filesystem::path& file, const std::u16string& error);

    CommandHost mHost;
    LoadCheckKind mCheck;
    bool mLocked = false; ///< the command took the file's lock: it means to save what it loads
    automation::Ref<Qel> mProject;
};

/// A path as the library takes it: absolute, in the library's text.
std::u16string LibraryPath(const std::filesystem::path& path);
std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

} // namespace qv::cli

#include "platform/automation/Error.h"

namespace qv::cli {

template <class Action> auto Session::Guard(Action action) -> decltype(action()) {
    try {
        return action();
    } catch (const automation::Error& error) {
        // A generation abort leaves its text in ProjErr as well; the error's own text is it.
        ThrowLibraryError(error.Description().empty() ? mProject->ProjErr() : error.Description());
    }
}

} // namespace qv::cli
