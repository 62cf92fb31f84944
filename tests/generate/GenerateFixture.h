#pragma once

#include "support/ApartmentFixture.h"

#include "generate/internal/GenerationSettings.h"

#include "core/Apartment.h"

#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qv::test {

/// A fresh apartment with the product's module state, a documents folder and a site folder in
/// the temporary folder, and settings that write into the site.
class GenerateTest : public ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        ModuleState& state = State();
        state.gProductName = u"Quorvane";
        state.gMsgPrefix = u"Quorvane";
        state.gScriptLanguage = u"ASP";
        state.gMyDocumentsPath = TempPath("docs");
        std::filesystem::create_directories(mSite);
        mSettings.Destination = Text(mSite);
        mSettings.AppRootFolder = Text(mSite);
        mSettings.OtherOverwrite = true;
    }

    static std::u16string Text(const std::filesystem::path& path) { return system::FromNativePath(path); }

    static void Write(const std::filesystem::path& file, const std::string& content) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

    static std::string Read(const std::filesystem::path& file) {
        std::ifstream stream(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(stream), {});
    }

    /// Every entry below `folder`, sorted, folders ending in "/".
    static std::vector<std::string> Tree(const std::filesystem::path& folder) {
        std::vector<std::string> entries;
        if (!std::filesystem::exists(folder)) {
            return entries;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            std::string relative = std::filesystem::relative(entry.path(), folder).string();
            if (entry.is_directory()) {
                relative += '/';
            }
            entries.push_back(relative);
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    std::filesystem::path mSite = mTemp / "site";
    GenerationSettings mSettings;
};

/// Runs `action`, expecting the generation abort (error -1) with `text` as its description and
/// in gProjErr.
template <class Action> void ExpectAbort(Action action, const std::u16string& text) {
    try {
        action();
        ADD_FAILURE() << "no abort";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), -1) << error.what();
        EXPECT_EQ(error.Description(), text) << error.what();
        EXPECT_EQ(State().gProjErr, text);
    }
}

} // namespace qv::test
