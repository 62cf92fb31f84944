#include "template/QelCache.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/Charsets.h"
#include "core/FolderPaths.h"
#include "core/Formatting.h"
#include "core/RegistryValues.h"
#include "core/VbText.h"
#include "template/TemplateState.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"
#include "platform/system/TextCodec.h"
#include "platform/xml/Document.h"
#include "platform/xml/Node.h"
#include "platform/xml/XmlWriter.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <optional>
#include <vector>

namespace qv {

using automation::Variant;

namespace {

constexpr std::u16string_view LineBreak = u"\r\n";

/// The folder that holds the cache file, made where missing:
/// <documents>\<product>\Templates\<template>\temp, a work folder like any other.
std::u16string CacheFolder() {
    // The template's name comes from a project setting: it must name a folder below Templates.
    const std::u16string templateFolder = system::CreateFoldersBelow(
        ProductWorkFolder(u"Templates"), RemoveSlashesAndSpaces(CurrentTemplateState().templateFileName));
    return system::CreateFoldersBelow(templateFolder, u"temp");
}

/// The charset the cache file is written in: the user's "XMLEncodeCharSet" when set, otherwise
/// the system charset; kept in gXmlEncoding for the project file writer too.
std::u16string CacheEncoding() {
    InitSystemCharset();
    ModuleState& state = State();
    const Variant configured = GetRegValue(u"", state.gRegKeyGeneral, u"XMLEncodeCharSet");
    if (configured.IsString() && !configured.StringValue().empty()) {
        state.gXmlEncoding = configured.StringValue();
    }
    std::u16string encoding = state.gXmlEncoding;
    // A charset nobody can decode would make the file unreadable; UTF-8 without a name in the
    // declaration reads back everywhere.
    if (!encoding.empty() && !system::TextCodec::ForCharset(encoding)) {
        encoding.clear();
    }
    return encoding;
}

} // namespace

QelCache::QelCache() {
    const std::u16string folder = CacheFolder();
    mCacheFile = system::JoinPath(folder, u"cache.xml");
    if (system::FileExists(mCacheFile)) {
        ReadCacheFile();
    }
}

const automation::ClassInfo& QelCache::GetClassInfo() const {
    using namespace automation;
    using C = QelCache;
    static const ClassInfo info(u"QelCache", {
                                                 Method<&C::AddCache>(u"AddCache"),
                                                 Method<&C::DeleteCache>(u"DeleteCache"),
                                                 Method<&C::DeleteCacheGroup>(u"DeleteCacheGroup"),
                                                 Method<&C::DeleteAllCache>(u"DeleteAllCache"),
                                                 Method<&C::CheckCache>(u"CheckCache"),
                                                 Method<&C::GetCacheDate>(u"GetCacheDate"),
                                                 Method<&C::MatchCacheGroup>(u"MatchCacheGroup"),
                                                 Method<&C::WriteCacheFile>(u"WriteCacheFile"),
                                             });
    return info;
}

std::int32_t QelCache::Find(std::u16string_view group, std::u16string_view key) const {
    for (std::int32_t position = 1; position <= mEntries.Count(); ++position) {
        const Entry& entry = mEntries.At(position);
        if (automation::EqualsNoCase(entry.group, group) && automation::EqualsNoCase(entry.key, key)) {
            return position;
        }
    }
    return 0;
}

bool QelCache::AddCache(const Variant& sGroup, const Variant& sKey, const Variant& dt, const Variant& size) {
    std::u16string group = automation::ToString(sGroup);
    std::u16string key = automation::ToString(sKey);
    std::u16string stamp = FormatTimestamp(dt);
    std::u16string sizeText = automation::ToString(size);
    if (const std::int32_t position = Find(group, key)) {
        Entry& entry = mEntries.At(position);
        entry.dateTime = std::move(stamp);
        entry.size = std::move(sizeText);
        return true;
    }
    return mEntries.Append({std::move(group), std::move(key), std::move(stamp), std::move(sizeText)});
}

bool QelCache::DeleteCache(const Variant& sGroup, const Variant& sKey) {
    const std::int32_t position = Find(automation::ToString(sGroup), automation::ToString(sKey));
    if (position == 0) {
        return false;
    }
    mEntries.RemoveAt(position);
    return true;
}

bool QelCache::DeleteCacheGroup(const Variant& sGroup) {
    const std::u16string group = automation::ToString(sGroup);
    bool removed = false;
    for (std::int32_t position = mEntries.Count(); position >= 1; --position) {
        if (automation::EqualsNoCase(mEntries.At(position).group, group)) {
            mEntries.RemoveAt(position);
            removed = true;
        }
    }
    return removed;
}

bool QelCache::DeleteAllCache() {
    // Emptying the list cannot fail, so it reports success.
    mEntries.Clear();
    return true;
}

std::int16_t QelCache::CheckCache(const Variant& sGroup, const Variant& sKey, const Variant& dt,
                                  const Variant& size) {
    const std::int32_t position = Find(automation::ToString(sGroup), automation::ToString(sKey));
    if (position == 0) {
        return 2;
    }
    const Entry& entry = mEntries.At(position);
    return entry.dateTime == FormatTimestamp(dt) && entry.size == automation::ToString(size) ? 0 : 1;
}

Variant QelCache::GetCacheDate(const Variant& sGroup, const Variant& sKey) {
    const std::int32_t position = Find(automation::ToString(sGroup), automation::ToString(sKey));
    if (position == 0) {
        return Variant::FromDate(0.0);
    }
    return Variant(mEntries.At(position).dateTime);
}

// A list that names one key twice fails: only the first of the two items is ever marked.
bool QelCache::MatchCacheGroup(const Variant& sGroup, const Variant& sList) {
    const std::u16string group = automation::ToString(sGroup);
    const std::u16string list = automation::ToString(sList);
    const std::vector<std::u16string_view> items = SplitText(list, LineBreak);
    std::vector<bool> matched(items.size(), false);
    for (const Entry& entry : mEntries) {
        if (!automation::EqualsNoCase(entry.group, group)) {
            continue;
        }
        bool found = false;
        for (std::size_t index = 0; index < items.size(); ++index) {
            if (automation::EqualsNoCase(items[index], entry.key)) {
                matched[index] = true;
                found = true;
                break;
            }
        }
        if (!found) {
            return false;
        }
    }
    for (bool itemMatched : matched) {
        if (!itemMatched) {
            return false;
        }
    }
    return true;
}

void QelCache::ReadCacheFile() {
    std::optional<xml::Document> document = xml::Document::TryLoad(mCacheFile);
    if (!document) {
        return;
    }
    const xml::Element root = document->DocumentElement();
    if (!root || root.Name() != u"Cache") {
        return;
    }
    for (const xml::Element& child : root.ChildElements()) {
        if (child.Name() != u"CacheEntry") {
            continue;
        }
        Entry entry{child.GetAttribute(u"Group").value_or(u""), child.GetAttribute(u"Key").value_or(u""),
                    child.GetAttribute(u"DateTime").value_or(u""), child.GetAttribute(u"Size").value_or(u"")};
        if (!mEntries.Append(std::move(entry))) {
            // A file with more entries than the cache holds is no cache file of ours.
            mEntries.Clear();
            return;
        }
    }
}

void QelCache::WriteCacheFile() {
    const ModuleState& state = State();
    // The bytes are in the charset the declaration names (UTF-8 when it names none), not in the
    // ANSI code page: a reader decodes by the declaration, so any other choice would garble
    // every key outside ASCII and lose the cache on the next run.
    xml::XmlWriter writer(CacheEncoding());
    writer.Declaration(/*standalone=*/true);
    writer.Whitespace(LineBreak);
    writer.OpenTag(u"Cache");
    writer.WriteAttribute(u"Product", state.gProductName);
    writer.WriteAttribute(u"Version", state.gProductVersion);
    writer.CloseTag(xml::TagClose::Spaced);
    writer.Whitespace(LineBreak);
    for (const Entry& entry : mEntries) {
        writer.OpenTag(u"CacheEntry");
        writer.WriteAttribute(u"Group", entry.group);
        writer.WriteAttribute(u"Key", entry.key);
        writer.WriteAttribute(u"DateTime", entry.dateTime);
        writer.WriteAttribute(u"Size", entry.size);
        writer.CloseEmptyTag(xml::TagClose::Spaced);
        writer.Whitespace(LineBreak);
    }
    writer.EndTag(u"Cache");
    writer.Whitespace(LineBreak);
    // Written beside the old file and renamed over it, so that a crash never leaves half a cache.
    writer.SaveTo(mCacheFile);
}

} // namespace qv
