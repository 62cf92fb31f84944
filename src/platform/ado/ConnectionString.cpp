#include "platform/ado/ConnectionString.h"

#include "platform/ado/Constants.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>

namespace qv::ado {

using automation::EqualsNoCase;

namespace {

constexpr std::u16string_view Source = u"ConnectionString";

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

/// Reads a value quoted by `open` (whose closing character is `close`, doubled inside) from the
/// start of `text`; returns the value and moves `text` past the closing character.
std::u16string ReadQuoted(std::u16string_view& text, char16_t close, std::u16string_view key) {
    std::u16string value;
    std::size_t position = 1;
    while (true) {
        if (position >= text.size()) {
            automation::Raise(ErrorNumber::InvalidArgument, std::u16string(Source),
                              u"The value of \"" + std::u16string(key) +
                                  u"\" in the connection string has no closing quote.");
        }
        char16_t c = text[position];
        if (c == close) {
            if (position + 1 < text.size() && text[position + 1] == close) {
                value += close;
                position += 2;
                continue;
            }
            text.remove_prefix(position + 1);
            return value;
        }
        value += c;
        ++position;
    }
}

} // namespace

ConnectionString ConnectionString::Parse(std::u16string_view text) {
    ConnectionString result;
    while (!text.empty()) {
        std::size_t equals = text.find(u'=');
        std::size_t semicolon = text.find(u';');
        if (semicolon < equals) {
            // A piece without "=": an empty piece between separators, or a bare word. A bare
            // word is kept as a key without value so that nothing the user wrote is lost.
            std::u16string_view word = Trim(text.substr(0, semicolon));
            if (!word.empty()) {
                result.mAttributes.push_back({std::u16string(word), u""});
            }
            text.remove_prefix(semicolon + 1);
            continue;
        }
        if (equals == std::u16string_view::npos) {
            std::u16string_view word = Trim(text);
            if (!word.empty()) {
                result.mAttributes.push_back({std::u16string(word), u""});
            }
            break;
        }
        std::u16string key(Trim(text.substr(0, equals)));
        text.remove_prefix(equals + 1);
        while (!text.empty() && IsBlank(text.front())) {
            text.remove_prefix(1);
        }
        std::u16string value;
        if (!text.empty() && (text.front() == u'{' || text.front() == u'"' || text.front() == u'\'')) {
            char16_t close = text.front() == u'{' ? u'}' : text.front();
            value = ReadQuoted(text, close, key);
            std::size_t next = text.find(u';');
            text.remove_prefix(next == std::u16string_view::npos ? text.size() : next + 1);
        } else {
            std::size_t next = text.find(u';');
            value = Trim(text.substr(0, next));
            text.remove_prefix(next == std::u16string_view::npos ? text.size() : next + 1);
        }
        result.mAttributes.push_back({std::move(key), std::move(value)});
    }
    return result;
}

std::optional<std::u16string> ConnectionString::Get(std::u16string_view key) const {
    for (const Attribute& attribute : mAttributes) {
        if (EqualsNoCase(attribute.key, key)) {
            return attribute.value;
        }
    }
    return std::nullopt;
}

void ConnectionString::Set(std::u16string_view key, std::u16string_view value) {
    auto first = std::find_if(mAttributes.begin(), mAttributes.end(),
                              [&](const Attribute& attribute) { return EqualsNoCase(attribute.key, key); });
    if (first == mAttributes.end()) {
        mAttributes.push_back({std::u16string(key), std::u16string(value)});
        return;
    }
    first->value = value;
    mAttributes.erase(
        std::remove_if(first + 1, mAttributes.end(),
                       [&](const Attribute& attribute) { return EqualsNoCase(attribute.key, key); }),
        mAttributes.end());
}

bool ConnectionString::Remove(std::u16string_view key) {
    auto end = std::remove_if(mAttributes.begin(), mAttributes.end(),
                              [&](const Attribute& attribute) { return EqualsNoCase(attribute.key, key); });
    bool removed = end != mAttributes.end();
    mAttributes.erase(end, mAttributes.end());
    return removed;
}

std::u16string ConnectionString::ToString() const {
    return ToString(ValueQuoting::Braces);
}

std::u16string ConnectionString::ToString(ValueQuoting quoting) const {
    std::u16string text;
    for (const Attribute& attribute : mAttributes) {
        if (!text.empty()) {
            text += u';';
        }
        text += attribute.key;
        text += u'=';
        switch (quoting) {
        case ValueQuoting::Braces:
            text += QuoteValue(attribute.value);
            continue;
        case ValueQuoting::None:
            CheckBareValue(attribute);
            text += attribute.value;
            continue;
        }
    }
    return text;
}

void ConnectionString::CheckBareValue(const Attribute& attribute) {
    const std::u16string_view value = attribute.value;
    // "=" may stay: such a driver takes the key up to the first "=" and the value up to ";".
    const bool unsafe = (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))) ||
                        value.find_first_of(std::u16string_view(u";{}\0", 4)) != std::u16string_view::npos;
    if (unsafe) {
        automation::Raise(ErrorNumber::InvalidArgument, std::u16string(Source),
                          u"The value of \"" + attribute.key +
                              u"\" cannot be passed to this ODBC driver: it does not understand quoted "
                              u"values, and the value holds \";\", \"{\", \"}\", a NUL character or a "
                              u"blank at either end.");
    }
}

std::u16string ConnectionString::QuoteValue(std::u16string_view value) {
    // A bare value that opens with a quote would read back as a quoted one, running on past the
    // ";" that ends it and swallowing the attributes after it.
    bool needsBraces = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                          value.front() == u'"' || value.front() == u'\'');
    for (char16_t c : value) {
        if (c == u';' || c == u'{' || c == u'}' || c == u'=' || c == u'\0') {
            needsBraces = true;
        }
    }
    if (!needsBraces) {
        return std::u16string(value);
    }
    std::u16string quoted = u"{";
    for (char16_t c : value) {
        quoted += c;
        if (c == u'}') {
            quoted += u'}';
        }
    }
    quoted += u'}';
    return quoted;
}

std::u16string ConnectionString::ForDataSource(std::u16string_view dataSource, std::u16string_view user,
                                               std::u16string_view password) {
    ConnectionString built;
    built.Set(u"DSN", dataSource);
    if (!user.empty()) {
        built.Set(u"UID", user);
    }
    if (!password.empty()) {
        built.Set(u"PWD", password);
    }
    return built.ToString();
}

namespace {

struct KeyMapping {
    std::u16string_view from;
    std::u16string_view to;
};

/// Copies the attributes named in `mappings` from a provider string into an ODBC string, under
/// their ODBC names; the first spelling present wins.
void CopyMapped(const ConnectionString& from, ConnectionString& to, std::span<const KeyMapping> mappings) {
    for (const KeyMapping& mapping : mappings) {
        if (to.Get(mapping.to)) {
            continue;
        }
        if (std::optional<std::u16string> value = from.Get(mapping.from)) {
            to.Set(mapping.to, *value);
        }
    }
}

bool IsProvider(std::u16string_view provider, std::u16string_view name) {
    // "SQLOLEDB" and "SQLOLEDB.1" name the same provider.
    return EqualsNoCase(provider, name) || (StartsWithNoCase(provider, name) &&
                                            provider.size() > name.size() && provider[name.size()] == u'.');
}

std::u16string TranslateOdbcBridge(const ConnectionString& given) {
    ConnectionString odbc;
    if (std::optional<std::u16string> extended = given.Get(u"Extended Properties")) {
        odbc = ConnectionString::Parse(*extended);
    }
    static constexpr std::array<KeyMapping, 10> Mappings{{
        {u"DSN", u"DSN"},
        {u"Data Source", u"DSN"},
        {u"Driver", u"Driver"},
        {u"FileDSN", u"FILEDSN"},
        {u"UID", u"UID"},
        {u"User ID", u"UID"},
        {u"PWD", u"PWD"},
        {u"Password", u"PWD"},
        {u"Initial Catalog", u"DATABASE"},
        {u"Database", u"DATABASE"},
    }};
    CopyMapped(given, odbc, Mappings);
    return odbc.ToString();
}

std::u16string TranslateSqlServer(const ConnectionString& given, std::u16string_view provider,
                                  std::span<const std::u16string> installedDrivers) {
    auto freeTds =
        std::find_if(installedDrivers.begin(), installedDrivers.end(),
                     [](const std::u16string& driver) { return EqualsNoCase(driver, u"FreeTDS"); });
    if (freeTds == installedDrivers.end()) {
        automation::Raise(
            ErrorNumber::ProviderNotFound, std::u16string(Source),
            u"Provider cannot be found. It may not be properly installed. (" + std::u16string(provider) +
                u" is served by the FreeTDS ODBC driver, which is not installed on this machine.)");
    }
    ConnectionString odbc;
    odbc.Set(u"Driver", *freeTds);
    static constexpr std::array<KeyMapping, 11> Mappings{{
        {u"Data Source", u"Server"},
        {u"Server", u"Server"},
        {u"Address", u"Server"},
        {u"Addr", u"Server"},
        {u"Network Address", u"Server"},
        {u"Initial Catalog", u"Database"},
        {u"Database", u"Database"},
        {u"User ID", u"UID"},
        {u"UID", u"UID"},
        {u"Password", u"PWD"},
        {u"PWD", u"PWD"},
    }};
    CopyMapped(given, odbc, Mappings);
    // "host,port" is the providers' way to give a port; FreeTDS takes it separately.
    if (std::optional<std::u16string> server = odbc.Get(u"Server")) {
        std::size_t comma = server->find(u',');
        if (comma != std::u16string::npos) {
            odbc.Set(u"Port", Trim(std::u16string_view(*server).substr(comma + 1)));
            odbc.Set(u"Server", Trim(std::u16string_view(*server).substr(0, comma)));
        }
    }
    std::optional<std::u16string> integrated = given.Get(u"Integrated Security");
    std::optional<std::u16string> trusted = given.Get(u"Trusted_Connection");
    if ((integrated && (EqualsNoCase(*integrated, u"SSPI") || EqualsNoCase(*integrated, u"true") ||
                        EqualsNoCase(*integrated, u"yes"))) ||
        (trusted && (EqualsNoCase(*trusted, u"yes") || EqualsNoCase(*trusted, u"true")))) {
        odbc.Set(u"Trusted_Connection", u"Yes");
    }
    return odbc.ToString();
}

} // namespace

std::u16string TranslateToOdbc(std::u16string_view text, std::span<const std::u16string> installedDrivers) {
    std::u16string_view trimmed = Trim(text);
    if (!trimmed.empty() && trimmed.find(u'=') == std::u16string_view::npos) {
        // A bare name is a data source, as the ODBC bridge reads it.
        return ConnectionString::ForDataSource(trimmed, u"", u"");
    }
    ConnectionString given = ConnectionString::Parse(text);
    std::optional<std::u16string> provider = given.Get(u"Provider");
    if (!provider) {
        return std::u16string(text);
    }
    if (IsProvider(*provider, u"MSDASQL")) {
        return TranslateOdbcBridge(given);
    }
    static constexpr std::array<std::u16string_view, 6> SqlServerProviders{
        u"SQLOLEDB", u"SQLNCLI", u"SQLNCLI10", u"SQLNCLI11", u"MSOLEDBSQL", u"MSOLEDBSQL19"};
    for (std::u16string_view name : SqlServerProviders) {
        if (IsProvider(*provider, name)) {
            return TranslateSqlServer(given, *provider, installedDrivers);
        }
    }
    if (StartsWithNoCase(*provider, u"Microsoft.Jet.OLEDB") ||
        StartsWithNoCase(*provider, u"Microsoft.ACE.OLEDB")) {
        automation::Raise(ErrorNumber::ProviderNotFound, std::u16string(Source),
                          u"Provider cannot be found. It may not be properly installed. (Access databases (" +
                              *provider + u") are opened as Access files, not through ODBC.)");
    }
    automation::Raise(ErrorNumber::ProviderNotFound, std::u16string(Source),
                      u"Provider cannot be found. It may not be properly installed. (" + *provider +
                          u" has no ODBC equivalent on this machine.)");
}

} // namespace qv::ado
