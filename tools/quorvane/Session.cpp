#include "Session.h"

#include "CommandLine.h"

#include "generate/Generator.h"
#include "project/Qel.h"
#include "project/SynchronizationService.h"
#include "schema/SchemaServices.h"

#include "model/CatalogFacts.h"

#include "core/Apartment.h"

#include "platform/automation/Text.h"
#include "platform/system/Paths.h"
#include "platform/xml/Document.h"

#include <memory>
#include <optional>
#include <system_error>

namespace qv::cli {

namespace fs = std::filesystem;

namespace {

/// The synchronisation of a command that only reads or changes settings: the check after
/// loading is left out, and nothing else is ever asked of it.
class SettingsOnlySynchronization final : public SynchronizationService {
public:
    std::int16_t CheckDB(Qel&) override { Refuse(); }
    void SynchronizeDB(Qel&) override { Refuse(); }
    void SyncCustom(Qel&, const automation::Variant&) override { Refuse(); }
    void SyncReport(Qel&, const automation::Variant&) override { Refuse(); }
    void LoadCustomView(Qel&, const automation::Variant&, const automation::Variant&,
                        const automation::Variant&) override {
        Refuse();
    }
    bool LoadReport(Qel&, const automation::Variant&, const automation::Variant&) override { Refuse(); }
    void SynchronizeAfterLoad(Qel&) override {}

private:
    [[noreturn]] static void Refuse() {
        // 5: invalid procedure call, as for any member this host does not offer here.
        automation::Raise(
            5, u"quorvane",
            u"this command does not reach the database; 'quorvane check' and 'quorvane sync' do");
    }
};

} // namespace

std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

std::u16string Utf16(std::string_view text) {
    return automation::FromUtf8(text);
}

std::u16string LibraryPath(const fs::path& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    return system::FromNativePath((error ? path : absolute).lexically_normal());
}

Session::Session(CommandAnswers answers, LoadCheckKind check) : mHost(std::move(answers)), mCheck(check) {
    ResetApartment();
    SetCurrentHost(&mHost);
    RegisterGenerator();
    if (check == LoadCheckKind::SettingsOnly) {
        RegisterSynchronizationService(std::make_unique<SettingsOnlySynchronization>());
    } else {
        RegisterSchemaServices();
    }
    try {
        mProject = automation::MakeRef<Qel>();
    } catch (const automation::Error& error) {
        // A damaged hive, say: the error names the file and line.
        ResetApartment();
        throw CommandError(ProgramMessage(error.Description()));
    }
}

Session::~Session() {
    mHost.SilenceProgress();
    mProject = nullptr;
    ResetApartment();
}

void Session::ThrowLibraryError(const std::u16string& description) {
    throw CommandError(ProgramMessage(description));
}

void Session::ThrowIfFailed() {
    const std::u16string error = mProject->ProjErr();
    if (!error.empty()) {
        ThrowLibraryError(error);
    }
}

void Session::Load(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw CommandError("quorvane: no project file " + file.string());
    }
    const std::u16string path = LibraryPath(file);
    Guard([&] { mProject->Load(path); });
    for (const SkippedElement& skipped : mProject->SkippedOnLoad()) {
        mHost.ShowMessage(
            {u"quorvane", skipped.text, host::MessageIcon::Information, host::MessageButtons::Ok});
    }
    const std::u16string failure = mProject->ProjErr();
    if (!failure.empty()) {
        const std::u16string detail = LoadFailureDetail(file, failure);
        if (!detail.empty() && mHost.HasShown(failure)) {
            // The library's message (a comparison that could not read the database) has said it
            // already; what the user can do about it follows.
            throw CommandError(Utf8(std::u16string_view(detail).substr(1)));
        }
        ThrowLibraryError(failure + detail);
    }
    if (mLocked) {
        // Stop before the command changes anything, rather than at its save.
        if (const std::optional<std::u16string> refusal = mProject->SaveRefusal(path)) {
            ThrowLibraryError(*refusal);
        }
    }
    // Through the setter, so that the folders that follow the destination are this project's
    // and not the defaults the library started with.
    mProject->SetDestination(mProject->Destination());
}

std::u16string Session::LoadFailureDetail(const fs::path& file, const std::u16string& error) {
    if (error.ends_with(u"Load Project File failed! Please check!")) {
        // The library's text says only that the file could not be read; the XML layer says why.
        xml::ParseError reason;
        if (!xml::Document::TryLoad(LibraryPath(file), &reason, {.preserveWhitespace = true})) {
            return u"\n" + reason.Description();
        }
        return {};
    }
    if (mCheck == LoadCheckKind::Synchronize && mProject->db() && mProject->AutoSync() &&
        FindSynchronizationService() != nullptr) {
        // The file was read; the comparison with the database that AutoSync asks for failed.
        if (const std::optional<catalog::UnreadObject> object = catalog::ObjectOfReadError(error)) {
            // The database was reached: one object of it stopped the comparison.
            const std::u16string path = Utf16(file.string());
            return u"\nThe project's database was reached, but its " + object->word + u" \"" + object->name +
                   u"\" could not be read, so the project was not compared with the database and is left as "
                   u"it is. 'quorvane unload-table " +
                   path + u" " + object->name + u"' takes it out of the comparison; 'quorvane set " + path +
                   u" AutoSync=False' loads the project without comparing it with the database.";
        }
        return u"\nThe project's database could not be reached. 'quorvane show', 'set' and 'unload-table' "
               u"work without it; 'quorvane set " +
               Utf16(file.string()) +
               u" AutoSync=False' loads the project without comparing it with the database.";
    }
    return {};
}

ProjectFileLock Session::Lock(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw CommandError("quorvane: no project file " + file.string());
    }
    ProjectFileLock lock = Guard([&] { return ProjectFileLock(LibraryPath(file)); });
    mLocked = true;
    return lock;
}

void Session::Save(const fs::path& file) {
    Guard([&] { mProject->Save(LibraryPath(file)); });
}

} // namespace qv::cli
