#pragma once

#include "platform/automation/Object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// Root keys as the registry numbers them.
namespace RootKey {
inline constexpr std::int32_t ClassesRoot = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::int32_t CurrentUser = static_cast<std::int32_t>(0x80000001u);
inline constexpr std::int32_t LocalMachine = static_cast<std::int32_t>(0x80000002u);
} // namespace RootKey

/// Error numbers of the registry class.
namespace RegistryError {
inline constexpr std::int32_t Failed = 26001;
inline constexpr std::int32_t Unexpected = static_cast<std::int32_t>(0x800469AAu);
inline constexpr std::int32_t InvalidParameterList = static_cast<std::int32_t>(0x800469ACu);
inline constexpr std::int32_t ClassNotDefined = static_cast<std::int32_t>(0x800469ADu);
} // namespace RegistryError

/// The library's one door to the registry: it holds the address of one value (root, key path,
/// value name) and its type, and each operation works on the address set before it. The
/// current user's root is the user hive and the local machine's the machine hive; the classes
/// root is "Software\Classes" of the user hive. One instance per apartment (GetRegistry).
class cRegistry final : public automation::Object {
public:
    const automation::ClassInfo& GetClassInfo() const override;

    /// True when the key SectionKey exists.
    bool KeyExists();
    /// Creates the key path SectionKey; 26001 when it cannot be.
    bool CreateKey();
    /// Deletes the key SectionKey with everything below it; 26001 when it cannot be.
    void DeleteKey();
    /// Deletes the value ValueKey of SectionKey; 26001 when the key or value is missing.
    void DeleteValue();

    /// The value at the address, typed by its registry type: text (type 2 expanded, type 7 with
    /// a NUL after each string), a Long for types 4 and 5, a byte array for every other type.
    /// A value that cannot be read gives Default and leaves ValueType as it was.
    automation::Variant Value();
    /// Writes the value at the address as ValueType says, creating the key. 26001 when the key
    /// cannot be created, the value cannot be stored as that type, or the hive cannot be saved:
    /// a write never fails silently.
    void SetValue(const automation::Variant& value);

    /// The names of the values (or subkeys) of SectionKey in the registry's order; always true,
    /// with nothing listed for a missing key.
    bool EnumerateValues(std::vector<std::u16string>& names, std::int32_t& count);
    bool EnumerateSections(std::vector<std::u16string>& names, std::int32_t& count);

    /// Registers a document type: the extension's key names the class, whose key holds the
    /// description, the verbs open (always), print, add (install) and new with their captions
    /// and commands, and the icon when `defaultIconIndex` is 0 or more.
    struct Association {
        std::u16string exePath;
        std::u16string className;
        std::u16string classDescription;
        std::u16string extension; ///< without its leading "."
        std::u16string openMenuText = u"&Open";
        bool supportPrint = false;
        std::u16string printMenuText = u"&Print";
        bool supportNew = false;
        std::u16string newMenuText = u"&New";
        bool supportInstall = false;
        std::u16string installMenuText; ///< "" gives "&Install " and the extension
        std::int32_t defaultIconIndex = -1;
    };
    void CreateEXEAssociation(const Association& association);
    /// Adds verbs, given as name, caption and command triples, to a registered class.
    void CreateAdditionalEXEAssociations(std::u16string_view className,
                                         const std::vector<std::u16string>& items);

    std::int32_t ValueType() const { return mValueType; }
    void SetValueType(std::int32_t valueType) { mValueType = valueType; }
    std::int32_t ClassKey() const { return mClassKey; }
    void SetClassKey(std::int32_t classKey) { mClassKey = classKey; }
    std::u16string SectionKey() const { return mSectionKey; }
    void SetSectionKey(std::u16string sectionKey) { mSectionKey = std::move(sectionKey); }
    std::u16string ValueKey() const { return mValueKey; }
    void SetValueKey(std::u16string valueKey) { mValueKey = std::move(valueKey); }
    automation::Variant Default() const { return mDefault; }
    void SetDefault(const automation::Variant& value) { mDefault = value; }

private:
    struct Address;
    /// The hive and key path the current address names, or nullopt for a root without a hive.
    std::optional<Address> Resolve(std::u16string_view section) const;
    /// 26001 naming the address and the value; `reason`, when given, follows in parentheses
    /// (a key that cannot be reached gives none, so its text is the registry class's own).
    [[noreturn]] void RaiseSetFailure(const automation::Variant& value, std::u16string_view reason) const;
    [[noreturn]] void RaiseFailure(std::u16string description) const;
    void WriteDefault(std::u16string_view section, std::u16string_view text);

    // Members the automation table calls.
    using NameLister = bool (cRegistry::*)(std::vector<std::u16string>&, std::int32_t&);
    /// A list for late-bound callers: a text array from 1 and its count.
    bool ListMember(NameLister lister, automation::Variant& names, automation::Variant& count);
    bool EnumerateValuesMember(automation::Variant& names, automation::Variant& count) {
        return ListMember(&cRegistry::EnumerateValues, names, count);
    }
    bool EnumerateSectionsMember(automation::Variant& names, automation::Variant& count) {
        return ListMember(&cRegistry::EnumerateSections, names, count);
    }
    void CreateEXEAssociationMember(std::u16string exePath, std::u16string className,
                                    std::u16string description, std::u16string extension,
                                    std::optional<std::u16string> openMenuText,
                                    std::optional<bool> supportPrint,
                                    std::optional<std::u16string> printMenuText,
                                    std::optional<bool> supportNew, std::optional<std::u16string> newMenuText,
                                    std::optional<bool> supportInstall,
                                    std::optional<std::u16string> installMenuText,
                                    std::optional<std::int32_t> defaultIconIndex);
    void CreateAdditionalEXEAssociationsMember(std::u16string className, automation::Variant items);

    std::int32_t mClassKey = 0;
    std::u16string mSectionKey;
    std::u16string mValueKey;
    std::int32_t mValueType = 0;
    automation::Variant mDefault;
};

/// The apartment's registry object (gRegistry), created on first use.
cRegistry& GetRegistry();

/// The source that the registry class's errors name.
inline constexpr std::u16string_view RegistryErrorSource = u"qelcls60.cRegistry";

/// Copies the key `section` of one root with its values (each with its type) and all its
/// subkeys to the same path under another root. A value that cannot be written is skipped and
/// the copy goes on; returns the number of values skipped.
std::int32_t CopyRegistryKey(std::int32_t sourceRoot, std::int32_t targetRoot, std::u16string_view section);

} // namespace qv
