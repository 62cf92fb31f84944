#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {

/// How a driver reads the values of a connection string.
enum class ValueQuoting {
    Braces, ///< "{...}" with "}" doubled inside, as ODBC defines it
    None,   ///< every value runs bare to the next ";" (SQLite's driver)
};

/// A connection string as "key=value" pairs separated by ";". Parses both ODBC strings (values in
/// braces, "}" doubled inside) and provider strings (values in double or single quotes, the quote
/// doubled inside), and builds text in which every value that needs it is brace-quoted, so that
/// a ";" in a user name or password can never add an attribute.
class ConnectionString {
public:
    struct Attribute {
        std::u16string key;
        std::u16string value;
    };

    ConnectionString() = default;

    /// Raises InvalidArgument for a quoted value without its closing quote.
    static ConnectionString Parse(std::u16string_view text);

    /// The value of the first attribute with this key, matched without regard to case (the first
    /// wins, as for ODBC drivers).
    std::optional<std::u16string> Get(std::u16string_view key) const;
    /// Sets the key's value in place of its first occurrence, dropping any later ones, or appends
    /// it.
    void Set(std::u16string_view key, std::u16string_view value);
    /// Removes every attribute with this key; false when there was none.
    bool Remove(std::u16string_view key);
    bool IsEmpty() const noexcept { return mAttributes.empty(); }
    const std::vector<Attribute>& Attributes() const noexcept { return mAttributes; }

    /// "key=value;..." with each value quoted by QuoteValue.
    std::u16string ToString() const;
    /// The text for a driver that reads values as `quoting` says. For ValueQuoting::None every
    /// value stands bare, and one that cannot (a ";", "{", "}" or NUL in it, or a blank at
    /// either end) raises InvalidArgument naming its attribute: passed on, it would end early
    /// and what follows would become attributes of its own ("x;Database=/other.db" as a user
    /// name would choose the database).
    std::u16string ToString(ValueQuoting quoting) const;

    /// The value as it may stand in an ODBC connection string: as it is when that is safe, else
    /// in braces with every "}" doubled. Values are left bare where possible because some drivers
    /// (SQLite's) do not understand braces at all.
    static std::u16string QuoteValue(std::u16string_view value);

    /// "DSN=...;UID=...;PWD=..." for a data source, every value quoted as needed; an empty user
    /// or password is left out.
    static std::u16string ForDataSource(std::u16string_view dataSource, std::u16string_view user,
                                        std::u16string_view password);

private:
    static void CheckBareValue(const Attribute& attribute);

    std::vector<Attribute> mAttributes;
};

/// The ODBC connection string for the text a user gave. ODBC strings ("Driver=", "DSN=",
/// "FileDSN=") and bare data-source names pass unchanged. Provider strings are translated where
/// this machine has an equivalent ODBC driver among `installedDrivers`: the ODBC bridge provider
/// becomes its ODBC attributes, and SQL Server providers become FreeTDS where it is installed.
/// Raises ProviderNotFound for a provider without an equivalent here, with a description that
/// names it (Access providers are read by the Access layer, not through this one).
std::u16string TranslateToOdbc(std::u16string_view text, std::span<const std::u16string> installedDrivers);

} // namespace qv::ado
