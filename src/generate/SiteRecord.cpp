#include "generate/internal/SiteRecord.h"

#include "core/VbText.h"

#include "platform/system/Digest.h"
#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/xml/Document.h"
#include "platform/xml/XmlWriter.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

SiteRecord SiteRecord::Load(std::u16string_view folder, std::u16string_view destination) {
    SiteRecord record;
    const std::u16string site(TrimBlanks(destination));
    if (folder.empty() || site.empty()) {
        return record;
    }
    // One file per site folder however the project spells it; a name of fixed length whatever
    // the folder's.
    const std::string name = system::Sha256Hex(automation::ToUtf8(system::AbsolutePath(site))).substr(0, 32);
    record.mFile = system::JoinPath(folder, automation::FromUtf8(name + ".xml"));
    std::optional<xml::Document> document = xml::Document::TryLoad(record.mFile);
    if (!document) {
        return record;
    }
    const xml::Element root = document->DocumentElement();
    if (!root || root.Name() != u"Site") {
        return record;
    }
    for (const xml::Element& page : root.ChildElements()) {
        std::optional<std::u16string> path = page.GetAttribute(u"Path");
        std::optional<std::u16string> digest = page.GetAttribute(u"Digest");
        if (page.Name() == u"Page" && path && digest) {
            record.mPages[*path] = {*digest, page.GetAttribute(u"Login").value_or(u"")};
        }
    }
    return record;
}

bool SiteRecord::Vouches(std::u16string_view path, std::u16string_view login) const {
    const auto found = mPages.find(std::u16string(path));
    if (found == mPages.end() || found->second.digest.empty() || found->second.login != login ||
        system::IsSymbolicLink(path) || !system::FileExists(path)) {
        return false;
    }
    try {
        return automation::FromUtf8(system::Sha256Hex(system::ReadFileBytes(path))) == found->second.digest;
    } catch (const automation::Error&) {
        return false;
    }
}

void SiteRecord::Note(std::u16string_view path, std::string_view digest, std::u16string_view login) {
    if (mFile.empty()) {
        return;
    }
    Entry entry{automation::FromUtf8(digest), std::u16string(login)};
    const auto [kept, added] = mPages.try_emplace(std::u16string(path), entry);
    if (added || kept->second.digest != entry.digest || kept->second.login != entry.login) {
        kept->second = std::move(entry);
        mChanged = true;
    }
}

std::vector<std::u16string> SiteRecord::Pages() const {
    std::vector<std::u16string> pages;
    pages.reserve(mPages.size());
    for (const auto& [path, entry] : mPages) {
        pages.push_back(path);
    }
    return pages;
}

void SiteRecord::Save() const {
    if (!mChanged) {
        return;
    }
    xml::XmlWriter writer;
    writer.Declaration(/*standalone=*/true);
    writer.Whitespace(u"\r\n");
    writer.OpenTag(u"Site");
    writer.CloseTag();
    writer.Whitespace(u"\r\n");
    for (const auto& [path, entry] : mPages) {
        writer.OpenTag(u"Page");
        writer.WriteAttribute(u"Path", path);
        writer.WriteAttribute(u"Digest", entry.digest);
        writer.WriteAttribute(u"Login", entry.login);
        writer.CloseEmptyTag(xml::TagClose::Spaced);
        writer.Whitespace(u"\r\n");
    }
    writer.EndTag(u"Site");
    writer.Whitespace(u"\r\n");
    try {
        system::CreateFolders(system::FolderOf(mFile));
        writer.SaveTo(mFile);
    } catch (const automation::Error&) {
        // Without the record a later run vouches for no page: it asks or keeps a backup instead.
    }
}

std::u16string SourcesDigest(const std::vector<std::u16string>& files) {
    std::string digests;
    for (const std::u16string& file : files) {
        try {
            digests += system::Sha256Hex(system::ReadFileBytes(file));
        } catch (const automation::Error&) {
            digests += automation::ToUtf8(file);
        }
        digests += "\n";
    }
    return automation::FromUtf8(system::Sha256Hex(digests));
}

std::u16string LoginFingerprint(std::u16string_view secType,
                                const std::vector<std::u16string_view>& settings) {
    const std::u16string mode = automation::ToLower(TrimBlanks(secType));
    if (mode.empty() || mode == u"none") {
        return {};
    }
    // Each value with its length, so that no two lists run together into one text.
    std::string text = automation::ToUtf8(mode);
    for (std::u16string_view setting : settings) {
        const std::string value = automation::ToUtf8(setting);
        text += "\n" + std::to_string(value.size()) + ":" + value;
    }
    return automation::FromUtf8(system::Sha256Hex(text));
}

} // namespace qv
