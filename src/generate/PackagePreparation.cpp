#include "generate/internal/PackagePreparation.h"

#include "generate/internal/WorkFolders.h"

#include "core/Apartment.h"
#include "template/QelCache.h"
#include "template/TemplateState.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/SafeJoin.h"
#include "platform/zip/Package.h"

#include "platform/automation/Variant.h"

namespace qv {

namespace {

using automation::Variant;

} // namespace

CacheVerdict CheckFileCache(QelCache& cache, std::u16string_view group, std::u16string_view key,
                            std::u16string_view file) {
    if (!system::FileExists(file)) {
        return CacheVerdict::Missing;
    }
    switch (cache.CheckCache(Variant(std::u16string(group)), Variant(std::u16string(key)),
                             Variant::FromDate(system::FileModified(file)),
                             Variant(static_cast<double>(system::FileSize(file))))) {
    case 0:
        return CacheVerdict::Same;
    case 1:
        return CacheVerdict::Changed;
    default:
        return CacheVerdict::NotRecorded;
    }
}

void RecordFileInCache(QelCache& cache, std::u16string_view group, std::u16string_view key,
                       std::u16string_view file) {
    cache.AddCache(Variant(std::u16string(group)), Variant(std::u16string(key)),
                   Variant::FromDate(system::FileModified(file)),
                   Variant(static_cast<double>(system::FileSize(file))));
}

std::variant<PreparedPackages, RunStop> PreparePackages(QelCache& cache, std::u16string_view templatePackage,
                                                        const std::vector<ExtensionPackage>& extensions) {
    ModuleState& state = State();
    PreparedPackages prepared;
    const CacheVerdict verdict = CheckFileCache(cache, u"template", u"template", templatePackage);
    if (verdict == CacheVerdict::Missing) {
        return RunStop::Message(u": Template file not found! Generation aborted!");
    }
    bool keep = verdict == CacheVerdict::Same;
    if (verdict == CacheVerdict::Changed) {
        keep = CurrentHost().AskTemplateFolder({state.gMsgPrefix}) == host::TemplateChoice::Keep;
        prepared.templateKept = keep;
    }
    // The cache remembers an extraction, not whether it is still there.
    if (keep && ExtractionMissing(CurrentTemplateState().templateFolder, u"control.xml")) {
        keep = false;
        prepared.templateKept = false;
    }
    if (!keep) {
        zip::ExtractPackage(templatePackage, CurrentTemplateState().templateFolder);
        prepared.templateExtracted = true;
    }

    std::u16string names;
    for (const ExtensionPackage& extension : extensions) {
        if (!names.empty()) {
            names += u"\r\n";
        }
        names += extension.name;
    }
    if (!cache.MatchCacheGroup(Variant(u"extension"), Variant(names))) {
        cache.DeleteCacheGroup(Variant(u"extension"));
        prepared.extensionsChanged = true;
    }
    for (const ExtensionPackage& extension : extensions) {
        const CacheVerdict extensionVerdict =
            CheckFileCache(cache, u"extension", extension.name, extension.package);
        if (extensionVerdict == CacheVerdict::Missing) {
            return RunStop::Message(u": Extension " + extension.name +
                                    u" template file not found! Generation aborted!");
        }
        const std::u16string folder =
            system::JoinInside(CurrentTemplateState().extensionsFolder, extension.name);
        if (extensionVerdict != CacheVerdict::Same || ExtractionMissing(folder)) {
            prepared.extensionsChanged = true;
            zip::ExtractPackage(extension.package, folder);
        }
    }
    return prepared;
}

void RecordPackages(QelCache& cache, std::u16string_view templatePackage,
                    const std::vector<ExtensionPackage>& extensions, const PreparedPackages& prepared) {
    if (!prepared.templateKept) {
        RecordFileInCache(cache, u"template", u"template", templatePackage);
    }
    for (const ExtensionPackage& extension : extensions) {
        RecordFileInCache(cache, u"extension", extension.name, extension.package);
    }
}

} // namespace qv
