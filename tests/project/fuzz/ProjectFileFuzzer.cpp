// libFuzzer target: hostile project files through the checks and the reader, and whatever they
// leave through the writer and back. Nothing may crash, hang or leak; a file that cannot be read
// must come out as the automation error the load turns into its message; and whatever was read
// must be written as a file that parses again. Built only with -DQV_FUZZ=ON and clang; the
// fuzz_project_file target runs it seeded with the golden files (tests/project/golden).

#include "project/QelExtension.h"
#include "project/QelExtensions.h"
#include "project/QelMasterDetail.h"
#include "project/QelMasterDetails.h"
#include "project/SkippedElement.h"
#include "project/internal/ProjectFileReader.h"
#include "project/internal/ProjectFileWriter.h"
#include "project/internal/QelCustomScript.h"
#include "project/internal/QelCustomScripts.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelDatabases.h"

#include "core/Apartment.h"
#include "core/QoProperties.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"
#include "platform/xml/Document.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace qv;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Entities read the user's defaults when they are made: point the hives at nothing.
    setenv("QUORVANE_USER_HIVE", "/nonexistent/quorvane-fuzz-user.reg", 1);
    setenv("QUORVANE_MACHINE_HIVE", "/nonexistent/quorvane-fuzz-machine.reg", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResetApartment();
    const std::u16string text =
        automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::optional<xml::Document> document =
        xml::Document::TryParse(text, nullptr, {.preserveWhitespace = true});
    if (!document || !document->DocumentElement()) {
        return 0;
    }
    auto settings = automation::MakeRef<QoProperties>();
    for (const char16_t* name : {u"ProjName", u"Cache", u"RecPerPage", u"CodePage", u"js"}) {
        settings->Add(name, name == std::u16string_view(u"Cache") ? u"Boolean" : u"String", false, 0, true,
                      true);
    }
    auto databases = automation::MakeRef<QelDatabases>();
    auto extensions = automation::MakeRef<QelExtensions>();
    auto pairs = automation::MakeRef<QelMasterDetails>();
    auto scripts = automation::MakeRef<QelCustomScripts>();
    std::u16string databaseName;
    std::vector<SkippedElement> skipped;
    const xml::Element root = document->DocumentElement();
    try {
        CheckProjectNodes(root, std::nullopt, [](std::u16string_view) { return false; });
        ProjectFileReader reader(
            {*settings, *databases, databaseName, extensions.Get(), pairs.Get(), scripts.Get(), &skipped});
        reader.ReadProjectSettings(root);
        reader.ReadNodes(root);
    } catch (const automation::Error&) {
        return 0;
    }

    // What was read is written again, and that file must load.
    std::string bytes;
    try {
        ProjectFileWriter writer(u"windows-1252", false);
        writer.BeginProject(u"6.0", *settings);
        for (std::int32_t position = 1; position <= extensions->Count(); ++position) {
            writer.WriteExtension(*extensions->At(position)->Properties());
        }
        if (databases->Count() > 0) {
            writer.WriteDatabase(*databases->Item(automation::Variant(databaseName)));
        }
        for (std::int32_t position = 1; position <= pairs->Count(); ++position) {
            const QelMasterDetail& pair = *pairs->At(position);
            std::vector<FieldRelation> relations;
            for (std::int32_t field = 1; field <= pair.FieldCount(); ++field) {
                relations.push_back({pair.MasterField(field), pair.DetailField(field)});
            }
            writer.WriteMasterDetail(pair.MasterTable(), pair.DetailTable(), relations);
        }
        for (std::int32_t position = 1; position <= scripts->Count(); ++position) {
            writer.WriteCustomScript(*scripts->At(position)->Properties(),
                                     scripts->At(position)->ScriptCode());
        }
        bytes = writer.Finish();
    } catch (const automation::Error& error) {
        // Text XML cannot hold is refused by name before anything is written; nothing else is.
        if (error.Number() != automation::ErrorNumber::InvalidProcedureCall) {
            std::abort();
        }
        return 0;
    }
    // Characters the charset lacks were written as references: the file parses as Latin-1 text.
    std::u16string written;
    for (const char byte : bytes) {
        written.push_back(static_cast<unsigned char>(byte));
    }
    if (!xml::Document::TryParse(written, nullptr, {.preserveWhitespace = true})) {
        std::abort();
    }
    ResetApartment();
    return 0;
}
