#pragma once

// The apartment the template fuzz targets run in: registry hives and the template folder in a
// temporary folder of their own (removed at exit), a headless host, and the module state reset
// before every input so that no input sees what an earlier one left.

#include "core/Apartment.h"
#include "template/TemplateState.h"

#include "platform/host/HeadlessHost.h"
#include "platform/registry/Registry.h"
#include "platform/system/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace qv::fuzz {

class FuzzApartment {
public:
    FuzzApartment() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qvfuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        mFolder = pattern;
        std::filesystem::create_directory(mFolder / "template");
    }
    // The apartment itself is the thread's and goes with it.
    ~FuzzApartment() {
        std::error_code ignored;
        std::filesystem::remove_all(mFolder, ignored);
    }
    FuzzApartment(const FuzzApartment&) = delete;
    FuzzApartment& operator=(const FuzzApartment&) = delete;

    /// A fresh apartment for the next input.
    void Reset() {
        ResetApartment();
        UseRegistry(std::make_unique<registry::Registry>(mFolder / "user.reg", mFolder / "machine.reg"));
        SetCurrentHost(&mHost);
        TemplateState& folders = CurrentTemplateState();
        folders.templateFolder = system::FromNativePath(mFolder / "template");
        folders.sourceFolder = folders.templateFolder;
    }

    const std::filesystem::path& Folder() const noexcept { return mFolder; }

private:
    std::filesystem::path mFolder;
    host::HeadlessHost mHost;
};

} // namespace qv::fuzz
