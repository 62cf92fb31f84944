#pragma once

#include "support/ApartmentFixture.h"
#include "template/TemplateState.h"

#include "template/ProjectServices.h"
#include "template/QelControls.h"
#include "template/ScriptHost.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"
#include "core/QoProperties.h"
#include "core/RegistryValues.h"

#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

/// A script engine that records what the template engine asks of it and answers from tables.
class FakeScriptHost final : public ScriptHost {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"FakeScriptHost", {});
        return info;
    }

    void Initialize(automation::Variant& proj, automation::Variant& db, automation::Variant& controls,
                    automation::Variant& lang, automation::Variant&, automation::Variant&) override {
        ++initializeCount;
        initializedWith = {proj, db, controls, lang};
    }
    bool ModuleExist(std::u16string_view sModule) override {
        return systemFunctions.contains(automation::ToLower(sModule));
    }
    bool UserModuleExist(std::u16string_view sModule) override {
        return userFunctions.contains(automation::ToLower(sModule));
    }
    automation::Variant BuildCode(std::u16string_view module, const automation::Variant& str) override {
        buildCodeCalls.emplace_back(module);
        if (!buildCodeError.empty()) {
            State().gProjErr = buildCodeError;
            return str;
        }
        auto found = functionResults.find(std::u16string(module));
        return found == functionResults.end() ? str : found->second;
    }
    std::u16string BuildNewCode(std::u16string_view str, std::int16_t bInitType,
                                std::int32_t lTimeout) override {
        lastCode = str;
        lastInitType = bInitType;
        lastTimeout = lTimeout;
        return pageText;
    }
    void Reset() override { ++resetCount; }

    std::set<std::u16string> systemFunctions; ///< lower case
    std::set<std::u16string> userFunctions;   ///< lower case
    std::map<std::u16string, automation::Variant> functionResults;
    std::u16string buildCodeError;
    std::u16string pageText = u"page";

    int initializeCount = 0;
    std::vector<automation::Variant> initializedWith;
    std::vector<std::u16string> buildCodeCalls;
    std::u16string lastCode;
    std::int16_t lastInitType = -1;
    std::int32_t lastTimeout = -1;
    int resetCount = 0;
};

/// The project as the template engine sees it: settings bags, a control list, engines made by
/// a factory, and a generation error that raises as the project's does. A test that wants real
/// engines overrides CreateScriptEngine and EngineObjects.
class FakeProject : public ProjectServices {
public:
    FakeProject() { project->Add(u"ProjName", u"String"); }

    QoProperties& ProjectSettings() override { return *project; }
    QoProperties* DatabaseSettings() override { return database.Get(); }
    QoProperties* CurrentTableSettings() override { return table.Get(); }
    QoProperties* CurrentFieldSettings() override { return field.Get(); }
    QelControls& Controls() override { return *controls; }
    ScriptEngineObjects EngineObjects() override {
        return {automation::Variant(u"PROJ"), automation::Variant::Nothing(),
                automation::Variant(automation::Ref<automation::Object>(controls)),
                automation::Variant::Nothing(), automation::Variant::Nothing()};
    }
    automation::Ref<ScriptHost> CreateScriptEngine() override {
        ++enginesCreated;
        lastEngine = automation::MakeRef<FakeScriptHost>();
        return lastEngine;
    }
    PreparationProgress& SessionProgress() override { return progress; }
    void RaiseGenerationError() override {
        ++generationErrors;
        GetStatus().CloseStatus();
        automation::Raise(-1, State().gMsgPrefix, State().gProjErr);
    }

    /// Adds a setting with a value to a bag.
    static void Set(QoProperties& bag, std::u16string_view name, std::u16string_view dataType,
                    const automation::Variant& value) {
        if (!bag.Find(name)) {
            bag.Add(name, dataType);
        }
        bag.Find(name)->SetValue(value);
    }

    automation::Ref<QoProperties> project = automation::MakeRef<QoProperties>();
    automation::Ref<QoProperties> database;
    automation::Ref<QoProperties> table;
    automation::Ref<QoProperties> field;
    automation::Ref<QelControls> controls = automation::MakeRef<QelControls>();
    PreparationProgress progress;
    automation::Ref<FakeScriptHost> lastEngine;
    int enginesCreated = 0;
    int generationErrors = 0;
};

/// Gives the apartment the product's names and work folders below `root` ("template",
/// "extensions", "temp", "docs"), created empty, as a generation run has them.
inline void UseWorkFolders(const std::filesystem::path& root) {
    ModuleState& state = State();
    state.gProductName = u"Quorvane";
    state.gProductVersion = u"6.0";
    state.gMsgPrefix = u"Quorvane";
    state.gRegKeyGeneral = u"Software\\Quorvane\\6.0\\Settings\\General";
    state.gMyDocumentsPath = system::FromNativePath(root / "docs");
    CurrentTemplateState().templateFolder = system::FromNativePath(root / "template");
    CurrentTemplateState().extensionsFolder = system::FromNativePath(root / "extensions");
    CurrentTemplateState().tempFolder = system::FromNativePath(root / "temp");
    CurrentTemplateState().sourceFolder = CurrentTemplateState().templateFolder;
    for (const char* folder : {"docs", "template", "extensions", "temp"}) {
        std::filesystem::create_directories(root / folder);
    }
}

/// A fresh apartment with the product's names, work folders in a temporary folder (template,
/// extensions, temp, documents) and the helpers to write and read files there.
class TemplateTest : public ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        UseWorkFolders(mTemp.Path());
    }

    /// Writes bytes to a file below the temporary folder, creating its folders.
    void WriteFile(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path path = mTemp / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string ReadFile(const std::string& relative) const { return ReadNative(mTemp / relative); }
    static std::string ReadNative(const std::filesystem::path& path) {
        std::ifstream stream(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }

    /// Sets a general value of the user hive.
    static void SetGeneralValue(std::u16string_view name, const automation::Variant& value) {
        std::int32_t type = value.IsString() ? 1 : 4;
        SetRegValue(u"", State().gRegKeyGeneral, name, type, value);
    }
};

/// UTF-8 test text, for SCOPED_TRACE and messages.
inline std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

} // namespace qv::test
