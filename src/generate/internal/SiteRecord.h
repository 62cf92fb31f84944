#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// The pages the generation runs wrote into one site: for each, the digest of the bytes written
/// and the login it was written under. A page that still holds exactly those bytes is the
/// generator's own, untouched since; what a page says of itself proves nothing, as a user may
/// have edited its check away. Kept in the product's work folder, one file per site folder, so
/// that nothing of it is served with the site.
class SiteRecord {
public:
    SiteRecord() = default;

    /// The record of the site folder `destination`, read from `folder`; an empty `folder` keeps
    /// no record. A record that is missing or cannot be read is empty: a later run then takes
    /// each page for one it does not know.
    static SiteRecord Load(std::u16string_view folder, std::u16string_view destination);

    /// Whether the page at `path` holds exactly what a run recorded there under `login`; never
    /// for a link, whatever it points at.
    bool Vouches(std::u16string_view path, std::u16string_view login) const;

    /// Records that the page at `path` now holds bytes of the digest `digest`, written under
    /// `login`; an empty `digest` records the page's name alone, vouching for nothing.
    void Note(std::u16string_view path, std::string_view digest, std::u16string_view login);

    /// The pages recorded.
    std::vector<std::u16string> Pages() const;

    /// Writes the record when anything was noted. A record that cannot be written is left as it
    /// was: a later run is then only more careful, never less.
    void Save() const;

private:
    struct Entry {
        std::u16string digest;
        std::u16string login;
    };

    std::u16string mFile;
    std::map<std::u16string, Entry> mPages;
    bool mChanged = false;
};

/// One text for the contents of `files` (a file that cannot be read counts by its name).
std::u16string SourcesDigest(const std::vector<std::u16string>& files);

/// What a login is made of, as a record compares it: one text that differs whenever one of the
/// settings the pages' login check is made from differs. Empty without a login.
std::u16string LoginFingerprint(std::u16string_view secType,
                                const std::vector<std::u16string_view>& settings);

} // namespace qv
