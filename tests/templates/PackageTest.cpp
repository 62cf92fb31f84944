// The packages as the build ships them: every file a control file names is in its zip, the
// sessions and includes the controls and templates name exist, the zips are byte-for-byte
// reproducible, and the staged machine hive names the bundled template package.

#include "PackageFiles.h"
#include "template/TemplateState.h"

#include "support/ApartmentFixture.h"
#include "support/TempDir.h"

#include "template/QelControl.h"
#include "template/QelControls.h"
#include "template/QelSessions.h"
#include "template/QoParser.h"

#include "core/Apartment.h"

#include "platform/registry/Registry.h"
#include "platform/registry/Value.h"
#include "platform/system/Paths.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace qv::test::templates {
namespace {

using automation::FromUtf8;
using automation::MakeRef;
using automation::Ref;
using automation::ToUtf8;

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

class PackageTest : public ApartmentTest {
protected:
    void SetUp() override {
        ApartmentTest::SetUp();
        State().gProductName = u"Quorvane";
        State().gMsgPrefix = u"Quorvane";
        // Includes inside a session are looked up in the source folder: an empty one here.
        CurrentTemplateState().sourceFolder = system::FromNativePath(mTemp.Path());
    }

    /// The control list of a package's control file, loaded by the template engine.
    Ref<QelControls> LoadControlFile(const std::map<std::string, ZipEntry>& entries,
                                     const std::string& name) {
        auto found = entries.find("control.xml");
        EXPECT_NE(found, entries.end()) << name << " has no control.xml";
        auto controls = MakeRef<QelControls>();
        if (found == entries.end()) {
            return controls;
        }
        const std::filesystem::path file = mTemp / (name + "-control.xml");
        std::ofstream(file, std::ios::binary) << found->second.bytes;
        EXPECT_TRUE(controls->LoadControls(system::FromNativePath(file))) << ToUtf8(State().gProjErr);
        return controls;
    }

    /// The session's text in a template of the package, as the conversion cuts it; "" and a
    /// failure when the file or the session is missing.
    static std::u16string Session(const std::map<std::string, ZipEntry>& entries, const std::string& file,
                                  const std::string& session) {
        auto found = entries.find(file);
        if (found == entries.end()) {
            ADD_FAILURE() << "session " << session << ": no file " << file;
            return {};
        }
        auto parser = MakeRef<QoParser>();
        std::u16string text = parser->GetSession(FromUtf8(found->second.bytes), FromUtf8(session));
        EXPECT_FALSE(text.empty()) << "no session " << session << " in " << file;
        return text;
    }

    /// Checks that every file, folder and session the controls name is in the package, or (for
    /// an extension) in the template package it extends.
    void ExpectNamedFilesPresent(QelControls& controls, const std::map<std::string, ZipEntry>& own,
                                 const std::map<std::string, ZipEntry>& base) {
        for (std::int32_t index = 1; index <= controls.Count(); ++index) {
            Ref<QelControl> control = controls.Item(automation::Variant(index));
            SCOPED_TRACE(ToUtf8(control->CtrlID()));
            if (control->CtrlAction() == u"delete") {
                continue;
            }
            // A changed control keeps its template files, which are the template's.
            const auto& files = control->CtrlAction() == u"change" ? base : own;
            std::stringstream list(ToUtf8(control->CtrlIFiles()));
            for (std::string file; std::getline(list, file, ',');) {
                EXPECT_TRUE(files.contains(file)) << file;
            }
            if (!control->CtrlIFolder().empty()) {
                std::string folder = ToUtf8(control->CtrlIFolder());
                std::replace(folder.begin(), folder.end(), '\\', '/');
                const bool any = std::any_of(own.begin(), own.end(), [&](const auto& entry) {
                    return entry.first.starts_with(folder);
                });
                EXPECT_TRUE(any) << "no files in " << folder;
            }
            QelSessions& sessions = control->Sessions();
            for (std::int32_t position = 1; position <= sessions.Count(); ++position) {
                Ref<QelSession> session = sessions.Item(position);
                if (session->SessType() != u"key" || session->SessAction() == u"delete") {
                    continue;
                }
                const std::u16string file =
                    session->SessIFile().empty() ? control->CtrlIFiles() : session->SessIFile();
                Session(session->SessIFile().empty() && control->CtrlAction() == u"change" ? base : own,
                        ToUtf8(file), ToUtf8(session->SessValue()));
            }
        }
    }

    /// Checks the include directives of every template: each names a file of the package and a
    /// session in it.
    void ExpectIncludesResolve(const std::map<std::string, ZipEntry>& entries) {
        const std::regex include(R"(<!--##include\s+([^/#]+)/([^#]+?)\s*##-->)", std::regex::icase);
        for (const auto& [name, entry] : entries) {
            for (std::sregex_iterator match(entry.bytes.begin(), entry.bytes.end(), include), end;
                 match != end; ++match) {
                SCOPED_TRACE(name);
                Session(entries, (*match)[1].str(), (*match)[2].str());
            }
        }
    }
};

TEST_F(PackageTest, TemplatePackageHoldsEveryFileAndSessionItsControlsName) {
    const auto entries = ReadZip(TemplatePackage());
    Ref<QelControls> controls = LoadControlFile(entries, "template");
    EXPECT_EQ(controls->ProdVersion(), u"6.0");
    EXPECT_GE(controls->Count(), 15);
    ExpectNamedFilesPresent(*controls, entries, entries);
    ExpectIncludesResolve(entries);
    EXPECT_TRUE(entries.contains("lang.xml"));

    // Every kind of control the generator knows is used.
    std::set<std::u16string> kinds;
    for (std::int32_t index = 1; index <= controls->Count(); ++index) {
        kinds.insert(controls->Item(automation::Variant(index))->CtrlType());
    }
    EXPECT_EQ(kinds, (std::set<std::u16string>{u"table", u"report", u"field", u"simple", u"copy"}));
}

TEST_F(PackageTest, ExtensionPackageCarriesItsControlsUserCodeAndPhrases) {
    const auto base = ReadZip(TemplatePackage());
    const auto entries = ReadZip(ExtensionPackage());
    Ref<QelControls> controls = LoadControlFile(entries, "extension");
    ExpectNamedFilesPresent(*controls, entries, base);
    EXPECT_TRUE(entries.contains("usercode.vbs"));
    EXPECT_TRUE(entries.contains("lang.xml"));

    // It adds, changes and deletes both controls and sessions.
    std::set<std::u16string> controlActions;
    std::set<std::u16string> sessionActions;
    for (std::int32_t index = 1; index <= controls->Count(); ++index) {
        Ref<QelControl> control = controls->Item(automation::Variant(index));
        controlActions.insert(control->CtrlAction());
        for (std::int32_t position = 1; position <= control->Sessions().Count(); ++position) {
            sessionActions.insert(control->Sessions().Item(position)->SessAction());
        }
    }
    const std::set<std::u16string> all{u"add", u"change", u"delete"};
    EXPECT_EQ(controlActions, all);
    EXPECT_EQ(sessionActions, all);
}

// Templates are Windows text: the block parser and the output clean-up break lines only at CRLF,
// so a bare LF in a template would end up inside a string literal of the page function.
TEST_F(PackageTest, TextEntriesHaveCrLfLineEndsAndOneTimeStamp) {
    for (const auto& package : {TemplatePackage(), ExtensionPackage()}) {
        SCOPED_TRACE(package.string());
        const auto entries = ReadZip(package);
        ASSERT_FALSE(entries.empty());
        const std::time_t stamp = entries.begin()->second.modified;
        for (const auto& [name, entry] : entries) {
            SCOPED_TRACE(name);
            EXPECT_EQ(entry.modified, stamp);
            if (name.ends_with(".svg")) {
                continue;
            }
            for (std::size_t at = entry.bytes.find('\n'); at != std::string::npos;
                 at = entry.bytes.find('\n', at + 1)) {
                ASSERT_TRUE(at > 0 && entry.bytes[at - 1] == '\r') << "bare LF at byte " << at;
            }
        }
    }
}

TEST_F(PackageTest, RebuildingAPackageGivesTheSameBytes) {
    const std::filesystem::path output = mTemp / "again" / "quorvane.zip";
    const std::string command = std::string("\"") + QV_CMAKE_COMMAND + "\" -DSOURCE=\"" + QV_SOURCE_DIR +
                                "/templates/quorvane\" -DOUTPUT=\"" + output.string() + "\" -DWORK=\"" +
                                (mTemp / "staging").string() + "\" -DZIP=\"" + QV_ZIP_PROGRAM + "\" -P \"" +
                                QV_SOURCE_DIR + "/templates/ZipPackage.cmake\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_TRUE(ReadBytes(output) == ReadBytes(TemplatePackage())) << "the rebuilt zip differs";
}

TEST_F(PackageTest, StagedMachineHiveNamesTheBundledPackageBesideIt) {
    registry::Registry hives(mTemp / "user.reg", ShareDir() / "machine.reg");
    const auto value = hives.ReadValue(registry::HiveKind::Machine,
                                       u"Software\\Quorvane\\6.0\\Settings\\Project", u"Template");
    ASSERT_TRUE(value.has_value());
    const std::string relative = ToUtf8(value->AsText());
    EXPECT_EQ(relative, "templates/quorvane.zip");
    EXPECT_TRUE(std::filesystem::exists(ShareDir() / relative));
    EXPECT_TRUE(std::filesystem::exists(ShareDir() / "demo" / "shop.db"));
}

} // namespace
} // namespace qv::test::templates
