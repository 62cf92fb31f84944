#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"

#include "platform/system/Environment.h"
#include "platform/system/FileSystem.h"
#include "platform/system/KnownFolders.h"
#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

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

std::error_code LastError() {
    return {errno, std::system_category()};
}

// The lock of one hive, held while the object lives: an exclusive flock on the hidden file
// ".<hive>.lock" beside the hive's file. The lock file is never removed, so that every process
// locks the same file; it is opened without following a link, so that a link planted in its
// place can neither make the registry create a file elsewhere nor have it lock one that others
// never look at. Each holder opens the file anew: the system's lock belongs to the open file, so
// two registries of one process (two apartments) keep each other out too, which a lock shared
// within the process (system::FileLock) would not. A change made under it must therefore not
// write the same hive again.
class HiveLock {
public:
    explicit HiveLock(const fs::path& hive) {
        // Appended piece by piece: `"." + std::string&&` trips GCC 12's false -Wrestrict at -O3.
        std::string name(".");
        name += hive.filename().string();
        name += ".lock";
        const fs::path lockFile = hive.parent_path() / name;
        mFd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        std::error_code error = mFd < 0 ? LastError() : std::error_code();
        struct stat status {};
        if (!error && ::fstat(mFd, &status) != 0) {
            error = LastError();
        }
        if (!error && !S_ISREG(status.st_mode)) {
            error = std::make_error_code(std::errc::invalid_argument);
        }
        while (!error && ::flock(mFd, LOCK_EX) != 0) {
            // A file system without locks: the write goes on unguarded rather than not at all.
            if (errno == ENOLCK || errno == EOPNOTSUPP) {
                break;
            }
            if (errno != EINTR) {
                error = LastError();
            }
        }
        if (error) {
            Release();
            // ELOOP (a link in its place) and the like read as a path/file access error.
            system::RaiseFileError(error, system::FromNativePath(lockFile));
        }
    }
    ~HiveLock() { Release(); }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

private:
    // Closing the descriptor lets go of the lock.
    void Release() noexcept {
        if (mFd >= 0) {
            ::close(std::exchange(mFd, -1));
        }
    }

    int mFd = -1;
};

void CreateFolderOf(const fs::path& file) {
    const std::u16string fileName = system::FromNativePath(file);
    const std::u16string_view folder = system::FolderOf(fileName);
    if (!folder.empty() && !system::FolderExists(folder)) {
        system::CreateFolders(folder);
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
    std::string text; ///< the file's bytes as last read or saved ("" when there was no file)
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

Registry::HiveState& Registry::StateOf(HiveKind hive) {
    return hive == HiveKind::User ? *mUser : *mMachine;
}

Registry::HiveState& Registry::Loaded(HiveKind hive) {
    HiveState& state = StateOf(hive);
    if (state.loaded && state.checkedInBatch) {
        return state;
    }
    state.checkedInBatch = mBatchDepth > 0;
    if (state.loaded && StampOf(state.path) == state.stamp) {
        return state;
    }
    return Current(hive);
}

Registry::HiveState& Registry::Current(HiveKind hive) {
    HiveState& state = StateOf(hive);
    const FileStamp stamp = StampOf(state.path);
    const std::u16string fileName = system::FromNativePath(state.path);
    std::string text = stamp.exists ? system::ReadFileBytes(fileName) : std::string();
    state.checkedInBatch = mBatchDepth > 0;
    if (state.loaded && stamp.exists == state.stamp.exists && text == state.text) {
        state.stamp = stamp;
        return state;
    }
    state.loaded = false;
    state.root = ParseHive(text, fileName);
    state.text = std::move(text);
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
    std::string text = FormatHive(*state.root);
    system::WriteFileAtomic(system::FromNativePath(state.path), text, system::Durability::Flushed,
                            system::FinalLink::Follow);
    state.text = std::move(text);
    state.stamp = StampOf(state.path);
    state.loaded = true;
}

void Registry::RemoveLeftovers(HiveKind hive) const {
    // Beside the file a save replaces: the end of a link in the hive's place (see Save).
    system::RemoveLeftoverTemporariesOf(system::FromNativePath(HivePath(hive)), system::FinalLink::Follow);
}

void Registry::Update(HiveKind hive, const std::function<bool(Key& root)>& change) {
    HiveState& state = StateOf(hive);
    CreateFolderOf(state.path);
    const HiveLock lock(state.path);
    Current(hive);
    // A change that raises halfway leaves the tree half changed: read it again on next use.
    state.loaded = false;
    if (!change(*state.root)) {
        state.loaded = true;
        return;
    }
    Save(state);
}

bool Registry::KeyExists(HiveKind hive, std::u16string_view keyPath) {
    return Loaded(hive).root->FindPath(keyPath) != nullptr;
}

std::optional<Value> Registry::ReadValue(HiveKind hive, std::u16string_view keyPath,
                                         std::u16string_view valueName) {
    const Key* key = Loaded(hive).root->FindPath(keyPath);
    const Value* value = key != nullptr ? key->FindValue(valueName) : nullptr;
    if (value == nullptr) {
        return std::nullopt;
    }
    return *value;
}

std::vector<std::u16string> Registry::ValueNames(HiveKind hive, std::u16string_view keyPath) {
    std::vector<std::u16string> names;
    if (const Key* key = Loaded(hive).root->FindPath(keyPath)) {
        for (const Key::NamedValue& entry : key->Values()) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::vector<std::u16string> Registry::SubkeyNames(HiveKind hive, std::u16string_view keyPath) {
    std::vector<std::u16string> names;
    if (const Key* key = Loaded(hive).root->FindPath(keyPath)) {
        for (const std::unique_ptr<Key>& subkey : key->Subkeys()) {
            names.push_back(subkey->Name());
        }
    }
    return names;
}

void Registry::WriteValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName,
                          const Value& value) {
    CheckKeyPath(keyPath);
    Update(hive, [&](Key& root) {
        root.CreatePath(keyPath).SetValue(valueName, value);
        return true;
    });
}

void Registry::CreateKey(HiveKind hive, std::u16string_view keyPath) {
    CheckKeyPath(keyPath);
    Update(hive, [&](Key& root) {
        if (root.FindPath(keyPath) != nullptr) {
            return false;
        }
        root.CreatePath(keyPath);
        return true;
    });
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
    bool deleted = false;
    Update(hive, [&](Key& root) {
        Key* parent = root.FindPath(parentPath);
        deleted = parent != nullptr && parent->DeleteSubkey(name);
        return deleted;
    });
    return deleted;
}

bool Registry::DeleteValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName) {
    bool deleted = false;
    Update(hive, [&](Key& root) {
        Key* key = root.FindPath(keyPath);
        deleted = key != nullptr && key->DeleteValue(valueName);
        return deleted;
    });
    return deleted;
}

const Key& Registry::Root(HiveKind hive) {
    return *Loaded(hive).root;
}

} // namespace qv::registry
