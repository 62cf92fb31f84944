#pragma once

#include "platform/registry/Key.h"
#include "platform/registry/Value.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::registry {

/// The two hives: the user's own settings and the machine's defaults.
enum class HiveKind { User, Machine };

/// The user hive: $QUORVANE_USER_HIVE, else $XDG_CONFIG_HOME/quorvane/user.reg (the
/// configuration folder defaulting to ~/.config).
std::filesystem::path DefaultUserHivePath();

/// The machine hive: $QUORVANE_MACHINE_HIVE, else the installed share/quorvane/machine.reg
/// (beside the program's folder, then under the install prefix), else the copy in the source
/// tree for a build that is not installed.
std::filesystem::path DefaultMachineHivePath();

/// The registry of one apartment: two hives kept in text files. A hive is read on first use
/// and read again whenever its file has changed since, so two registries (or two processes)
/// see each other's writes. Every write saves the hive before it returns, written beside the
/// file and renamed; a hive whose file does not exist reads as empty and is created by the
/// first write. Key paths are "\"-separated and relative to the hive's root; names are
/// matched without regard to letter case and kept as first written.
///
/// Several processes may share a hive. Every write takes the hive's lock, an exclusive flock(2)
/// on the hidden file ".<hive>.lock" beside it (made on first use and left in place), reads the hive
/// again when its file holds anything else than this registry last read or saved, applies its
/// change to that and saves, all before it lets go: a write never drops what another process
/// saved meanwhile. Reads take no lock; the file they read is always whole.
///
/// Failures raise qv::automation::Error: a damaged hive file 26001 naming the file and line
/// (see ParseHive), a file that cannot be read or saved the file errors of platform/system
/// (70 permission denied, 75, 76) naming the file (or the lock file: 75 when a link or anything
/// but a plain file stands in its place), a write to a key path deeper than MaxKeyDepth 5. A
/// write that cannot be saved changes nothing: the hive is read again from its file on next use.
class Registry {
public:
    /// The hives at DefaultUserHivePath() and DefaultMachineHivePath(), resolved now.
    Registry();
    /// Hives at explicit paths (tests, tools).
    Registry(std::filesystem::path userHive, std::filesystem::path machineHive);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    Registry(Registry&&) noexcept;
    Registry& operator=(Registry&&) noexcept;

    const std::filesystem::path& HivePath(HiveKind hive) const;

    bool KeyExists(HiveKind hive, std::u16string_view keyPath);
    /// The value, or nullopt when the key or the value does not exist. "" names the key's
    /// default value.
    std::optional<Value> ReadValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName);
    /// Names in the order they were added; empty when the key does not exist.
    std::vector<std::u16string> ValueNames(HiveKind hive, std::u16string_view keyPath);
    std::vector<std::u16string> SubkeyNames(HiveKind hive, std::u16string_view keyPath);

    /// Stores a value, creating the key path when missing, and saves the hive.
    void WriteValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName,
                    const Value& value);
    /// Creates the key path (nothing when it exists) and saves the hive.
    void CreateKey(HiveKind hive, std::u16string_view keyPath);
    /// Deletes a key with everything below it and saves the hive; false when it did not exist.
    /// The root (an empty path) cannot be deleted: raises 5.
    bool DeleteKey(HiveKind hive, std::u16string_view keyPath);
    /// Deletes a value and saves the hive; false when it did not exist.
    bool DeleteValue(HiveKind hive, std::u16string_view keyPath, std::u16string_view valueName);

    /// Changes a hive in one save, however much changes: under the hive's lock `change` gets
    /// the root of the hive as its file holds it now and returns whether it changed anything;
    /// the hive is then saved when it did. Nothing is saved when `change` raises, and the hive
    /// is read again on next use. Key names that `change` gives must pass IsValidKeyPath and
    /// stay within MaxKeyDepth; names taken from another hive always do. `change` must not
    /// write to the registry itself: it would wait for the lock that its caller holds.
    void Update(HiveKind hive, const std::function<bool(Key& root)>& change);

    /// Removes the temporary files that saves of the hive killed midway left beside its file
    /// (see system::RemoveLeftoverTemporariesOf): a save that no later start repeats would
    /// leave them there for good. Never raises.
    void RemoveLeftovers(HiveKind hive) const;

    /// The root key of a hive as it is now in memory (read first when needed), for walking a
    /// whole tree. Do not keep it across a write.
    const Key& Root(HiveKind hive);

    /// Changes whenever what this registry holds may have changed: a hive read from its file,
    /// or a write. Callers that keep values they read (within a Batch) compare it.
    std::uint64_t Revision() const noexcept { return mRevision; }

    /// A run of calls that may take each hive's file as unchanged once it has been looked at:
    /// while a batch is open the registry examines each hive's file at most once (its own
    /// writes keep what it knows up to date), instead of before every call. For one operation
    /// that reads many values, such as a schema load taking the defaults of every field it
    /// makes; a change that another registry or process saves meanwhile is seen by the first
    /// call after the batch. Batches may nest; the registry must outlive them.
    class Batch {
    public:
        explicit Batch(Registry& registry);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Registry& mRegistry;
    };

private:
    struct HiveState;
    HiveState& StateOf(HiveKind hive);
    /// The hive, read again first when its file changed since (see Batch).
    HiveState& Loaded(HiveKind hive);
    /// The hive as its file holds it now: the file's bytes are compared with those last read or
    /// saved, since a file replaced since may have kept the size, the time (to the clock's
    /// tick) and even the inode number of the one it replaced. Parsed again when they differ.
    HiveState& Current(HiveKind hive);
    void Save(HiveState& state);

    std::unique_ptr<HiveState> mUser;
    std::unique_ptr<HiveState> mMachine;
    int mBatchDepth = 0;
    std::uint64_t mRevision = 0;
};

} // namespace qv::registry
