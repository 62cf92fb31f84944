#include "generate/internal/PackagePreparation.h"

#include "generate/internal/WorkFolders.h"

#include "core/Apartment.h"
#include "template/QelCache.h"

#include "platform/host/Host.h"
#include "platform/system/FileSystem.h"
#include "platform/system/SafeJoin.h"
#include "platform/zip/Package.h"

#include "platform/automation/Variant.h"

namespace qv {

namespace {

using automation::Variant;

std::nullopt_t Stop(std::u16string_view text) {
    ModuleState& state = State();
    state.gProjErr = state.gMsgPrefix;
    state.gProjErr += text;
    return std::nullopt;
}

} // namespace

std::int16_t CheckFileCache(QelCache& cache, std::u16string_view group, std::u16string_view key,
                            std::u16string_view file) {
    if (!system::FileExists(file)) {
        return -1;
    }
    return cache.CheckCache(Variant(std::u16string(group)), Variant(std::u16string(key)),
                            Variant::FromDate(system::FileModified(file)),
                            Variant(static_cast<double>(system::FileSize(file))));
}

void RecordFileInCache(QelCache& cache, std::u16string_view group, std::u16string_view key,
                       std::u16string_view file) {
    cache.AddCache(Variant(std::u16string(group)), Variant(std::u16string(key)),
                   Variant::FromDate(system::FileModified(file)),
                   Variant(static_cast<double>(system::FileSize(file))));
}

std::optional<PreparedPackages> PreparePackages(QelCache& cache, std::u16string_view templatePackage,
                                                const std::vector<ExtensionPackage>& extensions) {
    ModuleState& state = State();
    PreparedPackages prepared;
    const std::int16_t verdict = CheckFileCache(cache, u"template", u"template", templatePackage);
    if (verdict == -1) {
        return Stop(u": Template file not found! Generation aborted!");
    }
    bool keep = verdict == 0;
    if (verdict == 1) {
        keep = CurrentHost().AskTemplateFolder({state.gMsgPrefix}) == host::TemplateChoice::Keep;
        prepared.templateKept = keep;
    }
    // The cache remembers an extraction, not whether it is still there.
    if (keep && ExtractionMissing(state.gTemplateFolder, u"control.xml")) {
        keep = false;
        prepared.templateKept = false;
    }
    if (!keep) {
        zip::ExtractPackage(templatePackage, state.gTemplateFolder);
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
        const std::int16_t extensionVerdict =
            CheckFileCache(cache, u"extension", extension.name, extension.package);
        if (extensionVerdict == -1) {
            return Stop(u": Extension " + extension.name + u" template file not found! Generation aborted!");
        }
        const std::u16string folder = system::JoinInside(state.gExtensionsFolder, extension.name);
        if (extensionVerdict != 0 || ExtractionMissing(folder)) {
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
