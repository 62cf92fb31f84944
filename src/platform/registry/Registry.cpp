#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"

#include "platform/system/Environment.h"
#include "platform/system/FileSystem.h"
#include "platform/system/KnownFolders.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <system_error>

namespace qv::registry {

namespace fs = std::filesystem;

namespace {

// What tells that a hive file changed since it was read.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const fs::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        system::RaiseFileError({errno, std::system_category()}, system::FromNativePath(path));
    }
    return {true, status.st_dev, status.st_ino, status.st_size,
            static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

void CheckKeyPath(std::u16string_view keyPath) {
    if (!IsValidKeyPath(keyPath)) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"",
                          u"Invalid registry key name: '" + std::u16string(keyPath) + u"'");
    }
    if (KeyPathDepth(keyPath) > MaxKeyDepth) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"",
                          u"A registry key path may name at most " +
                              automation::FromUtf8(std::to_string(MaxKeyDepth)) + u" nested keys");
    }
}

fs::path FirstExisting(std::initializer_list<fs::path> candidates) {
    std::error_code ignored;
    for (const fs::path& candidate : candidates) {
        if (!candidate.empty() && fs::is_regular_file(candidate, ignored)) {
            return candidate;
        }
    }
    return *(candidates.end() - 1);
}

} // namespace

struct Registry::HiveState {
    fs::path path;
    std::unique_ptr<Key> root;
    FileStamp stamp;
    bool loaded = false;
    bool checkedInBatch = false; ///< the file was looked at during the open batch
};

fs::path DefaultUserHivePath() {
    std::optional<std::u16string> configured = system::GetEnvironmentVariable(u"QUORVANE_USER_HIVE");
    if (configured && !configured->empty()) {
        return system::ToNativePath(*configured);
    }
    return system::ToNativePath(system::JoinPath(system::ConfigFolder(), u"quorvane/user.reg"));
}

fs::path DefaultMachineHivePath() {
    std::optional<std::u16string> configured = system::GetEnvironmentVariable(u"QUORVANE_MACHINE_HIVE");
    if (configured && !configured->empty()) {
        return system::ToNativePath(*configured);
    }
    std::u16string programFolder = system::ProgramFolder();
    fs::path besideProgram;
    if (!programFolder.empty()) {
        besideProgram =
            system::ToNativePath(system::JoinPath(programFolder, u"../share/quorvane/machine.reg"));
    }
    return FirstExisting(
        {besideProgram, fs::path(QV_INSTALLED_MACHINE_HIVE), fs::path(QV_SOURCE_MACHINE_HIVE)});
}

Registry::Registry() : Registry(DefaultUserHivePath(), DefaultMachineHivePath()) {}

Registry::Registry(fs::path userHive, fs::path machineHive)
    : mUser(std::make_unique<HiveState>()), mMachine(std::make_unique<HiveState>()) {
    mUser->path = std::move(userHive);
    mMachine->path = std::move(machineHive);
}

Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;

const fs::path& Registry::HivePath(HiveKind hive) const {
    return hive == HiveKind::User ? mUser->path : mMachine->path;
}

Registry::HiveState& Registry::Loaded(HiveKind hive, Use use) {
    HiveState& state = hive == HiveKind::User ? *mUser : *mMachine;
    // A write always looks: it saves the whole hive, and must not drop what another registry
    // saved since this one last read the file.
    if (use == Use::Read && state.loaded && state.checkedInBatch) {
        return state;
    }
    FileStamp stamp = StampOf(state.path);
    state.checkedInBatch = mBatchDepth > 0;
    if (state.loaded && stamp == state.stamp) {
        return state;
    }
    std::u16string fileName = system::FromNativePath(state.path);
    state.loaded = false;
    state.root =
        stamp.exists ? ParseHive(system::ReadFileBytes(fileName), fileName) : std::make_unique<Key>(u"");
    state.stamp = stamp;
    state.loaded = true;
    ++mRevision;
    return state;
}

Registry::Batch::Batch(Registry& registry) : mRegistry(registry) {
    ++mRegistry.mBatchDepth;
}

Registry::Batch::~Batch() {
    if (--mRegistry.mBatchDepth == 0) {
        mRegistry.mUser->checkedInBatch = false;
        mRegistry.mMachine->checkedInBatch = false;
    }
}

void Registry::Save(HiveState& state) {
    // Until the file holds what memory holds, the next use reads the file again: a write that
    // could not be saved must not seem to have happened.
    state.loaded = false;
    ++mRevision;
    std::u16string fileName = system::FromNativePath(state.path);
    std::u16string_view folder = system::FolderOf(fileName);
    if (!folder.empty() && !system::FolderExists(folder)) {
        system::CreateFolders(folder);
    }
    system::WriteFileAtomic(fileName, FormatHive(*state.root), system::Durability::Flushed,
                            system::FinalLink::Follow);
    state.stamp = StampOf(state.path);
    state.loaded = true;
}

bool Registry::KeyExists(HiveKind hive, std::u16string_view keyPath) {
    return Loaded(hive, Use::Read).root->FindPath(keyPath) != nullptr;
}

std::optional<Value> Registry::ReadValue(HiveKind hive, std::u16string_view keyPath,
                                         std::u16string_view valueName) {
    const Key* key = Loaded(hive, Use::Read).root->FindPath(keyPath);
    const Value* value = key != nullptr ? key->FindValue(valueName) : nullptr;
    if (value == nullptr) {
        return std::nullopt;
    }
    return *value;
}

std::vector<std::u16string> Registry::ValueNames(HiveKind hive, std::u16string_view keyPath) {
    std::vector<std::u16string> names;
    if (const Key* key = Loaded(hive, Use::Read).root->FindPath(keyPath)) {
        for (const Key::NamedValue& entry : key->Values()) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::vector<std::u16string> Registry::SubkeyNames(HiveKind hive, std::u16string_view keyPath) {
    std::vector<std::u16string> names;
    if (const Key* key = Loaded(hive, Use::Read).root->FindPath(keyPath)) {
        for (const std::unique_ptr<Key>& subkey : key->Subkeys()) {
            names.push_back(subkey->Name());
        }
    }
    return names;
}

void Registry::WriteValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName,
                          const Value& value) {
    CheckKeyPath(keyPath);
    HiveState& state = Loaded(hive, Use::Write);
    state.root->CreatePath(keyPath).SetValue(valueName, value);
    Save(state);
}

void Registry::CreateKey(HiveKind hive, std::u16string_view keyPath) {
    CheckKeyPath(keyPath);
    HiveState& state = Loaded(hive, Use::Write);
    if (state.root->FindPath(keyPath) != nullptr) {
        return;
    }
    state.root->CreatePath(keyPath);
    Save(state);
}

bool Registry::DeleteKey(HiveKind hive, std::u16string_view keyPath) {
    std::u16string_view trimmed = keyPath;
    while (!trimmed.empty() && trimmed.back() == u'\\') {
        trimmed.remove_suffix(1);
    }
    std::size_t separator = trimmed.rfind(u'\\');
    std::u16string_view parentPath =
        separator == std::u16string_view::npos ? u"" : trimmed.substr(0, separator);
    std::u16string_view name =
        separator == std::u16string_view::npos ? trimmed : trimmed.substr(separator + 1);
    if (name.empty()) {
        automation::Raise(automation::ErrorNumber::InvalidProcedureCall, u"",
                          u"The root of a registry hive cannot be deleted");
    }
    HiveState& state = Loaded(hive, Use::Write);
    Key* parent = state.root->FindPath(parentPath);
    if (parent == nullptr || !parent->DeleteSubkey(name)) {
        return false;
    }
    Save(state);
    return true;
}

bool Registry::DeleteValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName) {
    HiveState& state = Loaded(hive, Use::Write);
    Key* key = state.root->FindPath(keyPath);
    if (key == nullptr || !key->DeleteValue(valueName)) {
        return false;
    }
    Save(state);
    return true;
}

const Key& Registry::Root(HiveKind hive) {
    return *Loaded(hive, Use::Read).root;
}

} // namespace qv::registry
