#include "core/cRegistry.h"

#include "core/Apartment.h"
#include "core/VbText.h"

#include "platform/registry/Registry.h"
#include "platform/system/Environment.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cassert>
#include <cmath>
#include <limits>
#include <string>

namespace qv {

using automation::MakeRef;
using automation::Raise;
using automation::Ref;
using automation::SafeArray;
using automation::Variant;
using automation::VarType;
using registry::HiveKind;

struct cRegistry::Address {
    HiveKind hive;
    std::u16string path;
};

namespace {

constexpr std::u16string_view ClassesRootPath = u"Software\\Classes";

/// Text that the environment-string expansion would change: a "%" and another one at least
/// two characters further on.
bool HasEnvironmentReference(std::u16string_view text) {
    const std::size_t first = text.find(u'%');
    return first != std::u16string_view::npos && text.find(u'%', first + 2) != std::u16string_view::npos;
}

/// A whole number in the 32-bit range: integers, Booleans, Empty (0), whole floating and
/// currency values, and text holding such a number. nullopt for anything else.
std::optional<std::int32_t> WholeNumberOf(const Variant& value) {
    double number = 0;
    switch (value.Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Byte:
    case VarType::Boolean:
        return automation::ToLong(value);
    case VarType::Single:
    case VarType::Double:
    case VarType::Currency:
        number = automation::ToDouble(value);
        break;
    case VarType::String: {
        std::optional<double> parsed = automation::ParseNumber(value.StringValue());
        if (!parsed) {
            return std::nullopt;
        }
        number = *parsed;
        break;
    }
    case VarType::Null:
    case VarType::Date:
    case VarType::Object:
    case VarType::Error:
    case VarType::Variant:
        return std::nullopt;
    }
    if (value.IsArray() || std::trunc(number) != number ||
        number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(number);
}

/// The bytes of a one-dimensional array of bytes; nullopt for any other value.
std::optional<std::vector<std::uint8_t>> BytesOf(const Variant& value) {
    if (!value.IsArray()) {
        return std::nullopt;
    }
    const SafeArray& array = *value.ArrayValue();
    if (array.Dimensions() != 1) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(array.ElementCount());
    for (const Variant& element : array.Elements()) {
        if (element.Type() != VarType::Byte) {
            return std::nullopt;
        }
        bytes.push_back(element.ByteValue());
    }
    return bytes;
}

Variant ByteArray(const std::vector<std::uint8_t>& bytes) {
    Ref<SafeArray> array = MakeRef<SafeArray>(
        VarType::Byte, std::vector<SafeArray::Bound>{{0, static_cast<std::int32_t>(bytes.size())}});
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        array->Elements()[index] = Variant(bytes[index]);
    }
    return Variant(array);
}

/// A list of names as the late-bound enumerations return it: a text array from 1.
Variant NameArray(const std::vector<std::u16string>& names) {
    Ref<SafeArray> array = MakeRef<SafeArray>(
        VarType::Variant, std::vector<SafeArray::Bound>{{1, static_cast<std::int32_t>(names.size())}});
    for (std::size_t index = 0; index < names.size(); ++index) {
        array->Elements()[index] = Variant(names[index]);
    }
    return Variant(array);
}

/// A multi-string as one text: every string followed by a NUL.
std::u16string JoinMultiText(const std::vector<std::u16string>& texts) {
    std::u16string joined;
    for (const std::u16string& text : texts) {
        joined.append(text);
        joined.push_back(u'\0');
    }
    return joined;
}

std::vector<std::u16string> SplitMultiText(std::u16string_view joined) {
    std::vector<std::u16string> texts;
    std::size_t start = 0;
    while (start < joined.size()) {
        std::size_t end = joined.find(u'\0', start);
        if (end == std::u16string_view::npos) {
            end = joined.size();
        }
        texts.emplace_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return texts;
}

std::u16string JoinKeyPath(std::u16string_view parent, std::u16string_view child) {
    std::u16string path(parent);
    if (!path.empty() && !child.empty()) {
        path.push_back(u'\\');
    }
    path.append(child);
    return path;
}

} // namespace

cRegistry& GetRegistry() {
    ModuleState& state = State();
    if (!state.gRegistry) {
        state.gRegistry = MakeRef<cRegistry>();
    }
    return *state.gRegistry;
}

const automation::ClassInfo& cRegistry::GetClassInfo() const {
    using namespace automation;
    static const ClassInfo info(
        u"cRegistry",
        {
            Method<&cRegistry::KeyExists>(u"KeyExists"),
            Method<&cRegistry::CreateKey>(u"CreateKey"),
            Method<&cRegistry::DeleteKey>(u"DeleteKey"),
            Method<&cRegistry::DeleteValue>(u"DeleteValue"),
            Property<&cRegistry::Value, &cRegistry::SetValue>(u"Value"),
            Method<&cRegistry::EnumerateValuesMember>(u"EnumerateValues"),
            Method<&cRegistry::EnumerateSectionsMember>(u"EnumerateSections"),
            Method<&cRegistry::CreateEXEAssociationMember>(u"CreateEXEAssociation"),
            Method<&cRegistry::CreateAdditionalEXEAssociationsMember>(u"CreateAdditionalEXEAssociations"),
            Property<&cRegistry::ValueType, &cRegistry::SetValueType>(u"ValueType"),
            Property<&cRegistry::ClassKey, &cRegistry::SetClassKey>(u"ClassKey"),
            Property<&cRegistry::SectionKey, &cRegistry::SetSectionKey>(u"SectionKey"),
            Property<&cRegistry::ValueKey, &cRegistry::SetValueKey>(u"ValueKey"),
            Property<&cRegistry::Default, &cRegistry::SetDefault>(u"Default"),
        });
    return info;
}

std::optional<cRegistry::Address> cRegistry::Resolve(std::u16string_view section) const {
    switch (mClassKey) {
    case RootKey::CurrentUser:
        return Address{HiveKind::User, std::u16string(section)};
    case RootKey::LocalMachine:
        return Address{HiveKind::Machine, std::u16string(section)};
    case RootKey::ClassesRoot:
        return Address{HiveKind::User, JoinKeyPath(ClassesRootPath, section)};
    default:
        return std::nullopt;
    }
}

void cRegistry::RaiseFailure(std::u16string description) const {
    Raise(RegistryError::Failed, std::u16string(RegistryErrorSource), std::move(description));
}

void cRegistry::RaiseSetFailure(const Variant& value, std::u16string_view reason) const {
    std::u16string description = u"Failed to set registry value Key: '" + NumberText(mClassKey) +
                                 u"',Section: '" + mSectionKey + u"',Key: '" + mValueKey + u"' to value: '" +
                                 TextOf(value).value_or(std::u16string()) + u"'";
    if (!reason.empty()) {
        description += u" (";
        description += reason;
        description += u")";
    }
    RaiseFailure(std::move(description));
}

bool cRegistry::KeyExists() {
    std::optional<Address> address = Resolve(mSectionKey);
    return address && CurrentRegistry().KeyExists(address->hive, address->path);
}

bool cRegistry::CreateKey() {
    std::optional<Address> address = Resolve(mSectionKey);
    try {
        if (address) {
            CurrentRegistry().CreateKey(address->hive, address->path);
            return true;
        }
    } catch (const automation::Error&) {
        // Reported below as the registry class reports every failed creation.
    }
    RaiseFailure(u"Failed to create registry Key: '" + mSectionKey);
}

void cRegistry::DeleteKey() {
    std::optional<Address> address = Resolve(mSectionKey);
    try {
        if (address && !address->path.empty() && CurrentRegistry().DeleteKey(address->hive, address->path)) {
            return;
        }
    } catch (const automation::Error&) {
        // Reported below.
    }
    RaiseFailure(u"Failed to delete registry Key: '" + NumberText(mClassKey) + u"',Section: '" + mSectionKey);
}

void cRegistry::DeleteValue() {
    std::optional<Address> address = Resolve(mSectionKey);
    if (!address || !CurrentRegistry().KeyExists(address->hive, address->path)) {
        RaiseFailure(u"Failed to open key '" + NumberText(mClassKey) + u"',Section: '" + mSectionKey +
                     u"' for delete access");
    }
    try {
        if (CurrentRegistry().DeleteValue(address->hive, address->path, mValueKey)) {
            return;
        }
    } catch (const automation::Error&) {
        // Reported below.
    }
    RaiseFailure(u"Failed to delete registry Key: '" + NumberText(mClassKey) + u"',Section: '" + mSectionKey +
                 u"',Key: '" + mValueKey);
}

Variant cRegistry::Value() {
    std::optional<Address> address = Resolve(mSectionKey);
    if (!address) {
        return mDefault;
    }
    std::optional<registry::Value> value =
        CurrentRegistry().ReadValue(address->hive, address->path, mValueKey);
    if (!value) {
        return mDefault;
    }
    mValueType = static_cast<std::int32_t>(value->Type());
    switch (value->Kind()) {
    case registry::DataKind::Text:
        if (value->Type() == registry::ValueType::ExpandText) {
            return Variant(system::ExpandEnvironmentStrings(value->AsText()));
        }
        return Variant(value->AsText());
    case registry::DataKind::MultiText:
        return Variant(JoinMultiText(value->AsMultiText()));
    case registry::DataKind::Number:
        return Variant(static_cast<std::int32_t>(value->AsNumber()));
    case registry::DataKind::Bytes:
        return ByteArray(value->AsBytes());
    }
    assert(false && "a value has one of the data kinds");
    return mDefault;
}

void cRegistry::SetValue(const Variant& value) {
    std::optional<Address> address = Resolve(mSectionKey);
    if (!address) {
        RaiseSetFailure(value, {});
    }
    registry::Value stored;
    switch (mValueType) {
    case registry::ValueType::Text:
    case registry::ValueType::ExpandText: {
        std::optional<std::u16string> text = TextOf(value);
        if (!text) {
            RaiseSetFailure(value, u"the value has no text");
        }
        // The stored type follows the text, not the type asked for.
        const std::uint32_t type =
            HasEnvironmentReference(*text) ? registry::ValueType::ExpandText : registry::ValueType::Text;
        stored = registry::Value::Text(std::move(*text), type);
        break;
    }
    case registry::ValueType::Dword:
    case registry::ValueType::DwordBigEndian: {
        // Any whole number is stored, also when it is held as text or as a floating value;
        // what is no whole number is refused rather than dropped.
        std::optional<std::int32_t> number = WholeNumberOf(value);
        if (!number) {
            RaiseSetFailure(value, u"not a 32-bit whole number");
        }
        stored = registry::Value::Number(static_cast<std::uint32_t>(*number), registry::ValueType::Dword);
        break;
    }
    case registry::ValueType::MultiText: {
        std::optional<std::u16string> text = TextOf(value);
        if (!text) {
            RaiseSetFailure(value, u"the value has no text");
        }
        stored = registry::Value::MultiText(SplitMultiText(*text));
        break;
    }
    default: {
        // Binary data, and every type without a shape of its own, as the bytes read from it.
        std::optional<std::vector<std::uint8_t>> bytes = BytesOf(value);
        if (!bytes || mValueType < 0) {
            RaiseSetFailure(value, u"not a byte array");
        }
        stored = registry::Value::Bytes(std::move(*bytes), static_cast<std::uint32_t>(mValueType));
        break;
    }
    }
    try {
        CurrentRegistry().WriteValue(address->hive, address->path, mValueKey, stored);
    } catch (const automation::Error& error) {
        RaiseSetFailure(value, error.Description());
    }
}

bool cRegistry::EnumerateValues(std::vector<std::u16string>& names, std::int32_t& count) {
    names.clear();
    count = 0;
    std::optional<Address> address = Resolve(mSectionKey);
    if (!address) {
        return true;
    }
    try {
        names = CurrentRegistry().ValueNames(address->hive, address->path);
    } catch (const automation::Error&) {
        // A key that cannot be read lists nothing.
        names.clear();
    }
    count = static_cast<std::int32_t>(names.size());
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::u16string>& names, std::int32_t& count) {
    names.clear();
    count = 0;
    std::optional<Address> address = Resolve(mSectionKey);
    if (!address) {
        return true;
    }
    try {
        names = CurrentRegistry().SubkeyNames(address->hive, address->path);
    } catch (const automation::Error& error) {
        Raise(RegistryError::Unexpected, std::u16string(RegistryErrorSource), error.Description());
    }
    count = static_cast<std::int32_t>(names.size());
    return true;
}

bool cRegistry::ListMember(NameLister lister, Variant& names, Variant& count) {
    std::vector<std::u16string> list;
    std::int32_t listed = 0;
    const bool result = (this->*lister)(list, listed);
    names = NameArray(list);
    count = Variant(listed);
    return result;
}

void cRegistry::WriteDefault(std::u16string_view section, std::u16string_view text) {
    mSectionKey.assign(section);
    mValueKey.clear();
    mValueType = registry::ValueType::Text;
    SetValue(Variant(text));
}

void cRegistry::CreateEXEAssociation(const Association& association) {
    const std::int32_t classKey = mClassKey;
    mClassKey = RootKey::ClassesRoot;
    const std::u16string quotedExe = u"\"" + association.exePath + u"\"";
    WriteDefault(u"." + association.extension, association.className);
    WriteDefault(association.className, association.classDescription);

    struct Verb {
        bool wanted;
        std::u16string_view name;
        std::u16string caption;
        std::u16string_view switchText;
    };
    const Verb verbs[] = {
        {true, u"open", association.openMenuText, u""},
        {association.supportPrint, u"print", association.printMenuText, u"/p "},
        {association.supportInstall, u"add",
         association.installMenuText.empty() ? u"&Install " + association.extension
                                             : association.installMenuText,
         u"/a "},
        {association.supportNew, u"new", association.newMenuText, u"/n "},
    };
    for (const Verb& verb : verbs) {
        if (!verb.wanted) {
            continue;
        }
        const std::u16string verbKey = association.className + u"\\shell\\" + std::u16string(verb.name);
        WriteDefault(verbKey, verb.caption);
        WriteDefault(verbKey + u"\\command", quotedExe + u" " + std::u16string(verb.switchText) + u"\"%1\"");
    }
    if (association.defaultIconIndex >= 0) {
        WriteDefault(association.className + u"\\DefaultIcon",
                     quotedExe + u"," + NumberText(association.defaultIconIndex));
    }
    mClassKey = classKey;
}

void cRegistry::CreateEXEAssociationMember(
    std::u16string exePath, std::u16string className, std::u16string description, std::u16string extension,
    std::optional<std::u16string> openMenuText, std::optional<bool> supportPrint,
    std::optional<std::u16string> printMenuText, std::optional<bool> supportNew,
    std::optional<std::u16string> newMenuText, std::optional<bool> supportInstall,
    std::optional<std::u16string> installMenuText, std::optional<std::int32_t> defaultIconIndex) {
    Association association;
    association.exePath = std::move(exePath);
    association.className = std::move(className);
    association.classDescription = std::move(description);
    association.extension = std::move(extension);
    association.openMenuText = openMenuText.value_or(association.openMenuText);
    association.supportPrint = supportPrint.value_or(false);
    association.printMenuText = printMenuText.value_or(association.printMenuText);
    association.supportNew = supportNew.value_or(false);
    association.newMenuText = newMenuText.value_or(association.newMenuText);
    association.supportInstall = supportInstall.value_or(false);
    association.installMenuText = installMenuText.value_or(std::u16string());
    association.defaultIconIndex = defaultIconIndex.value_or(-1);
    CreateEXEAssociation(association);
}

void cRegistry::CreateAdditionalEXEAssociations(std::u16string_view className,
                                                const std::vector<std::u16string>& items) {
    if (items.size() % 3 != 0) {
        Raise(
            RegistryError::InvalidParameterList, std::u16string(RegistryErrorSource),
            u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    }
    const std::int32_t classKey = mClassKey;
    mClassKey = RootKey::ClassesRoot;
    mSectionKey.assign(className);
    if (className.empty() || !KeyExists()) {
        mClassKey = classKey;
        Raise(RegistryError::ClassNotDefined, std::u16string(RegistryErrorSource),
              u"Error - attempt to create additional associations before class defined.");
    }
    for (std::size_t index = 0; index < items.size(); index += 3) {
        const std::u16string verbKey = std::u16string(className) + u"\\shell\\" + items[index];
        WriteDefault(verbKey, items[index + 1]);
        WriteDefault(verbKey + u"\\command", items[index + 2]);
    }
    mClassKey = classKey;
}

void cRegistry::CreateAdditionalEXEAssociationsMember(std::u16string className, Variant items) {
    std::vector<std::u16string> texts;
    if (items.IsArray()) {
        for (const Variant& item : items.ArrayValue()->Elements()) {
            texts.push_back(automation::ToString(item));
        }
    }
    CreateAdditionalEXEAssociations(className, texts);
}

std::int32_t CopyRegistryKey(std::int32_t sourceRoot, std::int32_t targetRoot, std::u16string_view section) {
    const auto hiveOf = [](std::int32_t root) {
        return root == RootKey::LocalMachine ? HiveKind::Machine : HiveKind::User;
    };
    registry::Registry& registry = CurrentRegistry();
    const HiveKind source = hiveOf(sourceRoot);
    const HiveKind target = hiveOf(targetRoot);
    if (!registry.KeyExists(source, section)) {
        return 0;
    }
    // Values are copied as stored, so that a text with environment references stays
    // unexpanded and every type arrives as it was. One value that cannot be written does not
    // stop the others.
    std::int32_t skipped = 0;
    try {
        registry.CreateKey(target, section);
    } catch (const automation::Error&) {
        ++skipped;
    }
    for (const std::u16string& name : registry.ValueNames(source, section)) {
        std::optional<registry::Value> value = registry.ReadValue(source, section, name);
        if (!value) {
            continue;
        }
        try {
            registry.WriteValue(target, section, name, *value);
        } catch (const automation::Error&) {
            ++skipped;
        }
    }
    for (const std::u16string& subkey : registry.SubkeyNames(source, section)) {
        skipped += CopyRegistryKey(sourceRoot, targetRoot, JoinKeyPath(section, subkey));
    }
    return skipped;
}

} // namespace qv
