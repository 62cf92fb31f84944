#include "Session.h"

#include "CommandLine.h"

#include "generate/Generator.h"
#include "project/Qel.h"

#include "core/Apartment.h"

#include "platform/automation/Text.h"
#include "platform/system/Paths.h"

#ifdef QV_WITH_SCHEMA
#include "schema/SchemaServices.h"
#endif

#include <system_error>

namespace qv::cli {

namespace fs = std::filesystem;

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

Session::Session(CommandAnswers answers) : mHost(std::move(answers)) {
    ResetApartment();
    SetCurrentHost(&mHost);
    RegisterGenerator();
#ifdef QV_WITH_SCHEMA
    RegisterSchemaServices();
#endif
    try {
        mProject = automation::MakeRef<Qel>();
    } catch (const automation::Error& error) {
        // A damaged hive, say: the error names the file and line.
        ResetApartment();
        throw CommandError("quorvane: " + Utf8(error.Description()));
    }
}

Session::~Session() {
    mHost.SilenceProgress();
    mProject = nullptr;
    ResetApartment();
}

void Session::ThrowLibraryError(const std::u16string& description) {
    throw CommandError(Utf8(description));
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
    Guard([&] { mProject->Load(LibraryPath(file)); });
    ThrowIfFailed();
}

ProjectFileLock Session::Lock(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        throw CommandError("quorvane: no project file " + file.string());
    }
    return Guard([&] { return ProjectFileLock(LibraryPath(file)); });
}

void Session::Save(const fs::path& file) {
    Guard([&] { mProject->Save(LibraryPath(file)); });
}

} // namespace qv::cli
