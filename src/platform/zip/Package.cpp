#include "platform/zip/Package.h"

#include "platform/zip/internal/ZipHandles.h"

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"
#include "platform/system/SafeJoin.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace qv::zip {

namespace {

namespace fs = std::filesystem;
using internal::ZipArchive;
using internal::ZipError;
using internal::ZipFile;

constexpr std::int32_t RefusedEntry = automation::ErrorNumber::BadFileNameOrNumber;
constexpr std::int32_t DamagedPackage = automation::ErrorNumber::PathFileAccessError;

std::u16string Quoted(std::u16string_view text) {
    std::u16string quoted(u"\"");
    quoted += text;
    quoted += u'"';
    return quoted;
}

[[noreturn]] void RaiseDamaged(std::u16string_view package, std::string_view reason) {
    automation::Raise(DamagedPackage, u"",
                      u"The package " + Quoted(package) + u" is damaged and was not extracted: " +
                          automation::WithFullStop(automation::FromUtf8(reason)));
}

[[noreturn]] void RaiseRefused(std::u16string_view package, std::u16string_view entry,
                               std::u16string_view reason) {
    std::u16string description = u"The package " + Quoted(package) + u" was not extracted: its entry " +
                                 Quoted(entry) + u" is refused, ";
    description += reason;
    description += u'.';
    automation::Raise(RefusedEntry, u"", std::move(description));
}

[[noreturn]] void RaiseTooLarge(std::u16string_view package, std::u16string_view what) {
    std::u16string description = u"The package " + Quoted(package) + u" was not extracted: it ";
    description += what;
    description += u'.';
    automation::Raise(DamagedPackage, u"", std::move(description));
}

std::u16string Number(std::uint64_t value) {
    return automation::FromUtf8(std::to_string(value));
}

ZipArchive OpenPackage(std::u16string_view package) {
    if (!system::FileExists(package)) {
        system::RaiseFileError(std::make_error_code(std::errc::no_such_file_or_directory), package);
    }
    int code = ZIP_ER_OK;
    zip_t* handle = zip_open(system::ToNativePath(package).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (handle == nullptr) {
        ZipError error(code);
        RaiseDamaged(package, error.Text());
    }
    return ZipArchive(handle);
}

zip_uint64_t EntryCount(const ZipArchive& archive, std::u16string_view package) {
    const zip_int64_t count = zip_get_num_entries(archive.Get(), 0);
    if (count < 0) {
        RaiseDamaged(package, zip_strerror(archive.Get()));
    }
    return static_cast<zip_uint64_t>(count);
}

zip_stat_t StatEntry(const ZipArchive& archive, zip_uint64_t index, std::u16string_view package) {
    zip_stat_t status;
    zip_stat_init(&status);
    if (zip_stat_index(archive.Get(), index, ZIP_FL_ENC_GUESS, &status) != 0 ||
        (status.valid & ZIP_STAT_NAME) == 0) {
        RaiseDamaged(package, zip_strerror(archive.Get()));
    }
    return status;
}

bool EndsWithSeparator(std::u16string_view name) noexcept {
    return !name.empty() && system::IsPathSeparator(name.back());
}

// The names Windows reserves for devices, with or without an extension ("nul.txt" too): a
// package written there could not hold them, so one that does is up to no good.
bool IsDeviceName(std::u16string_view component) {
    std::u16string base = automation::ToUpper(component.substr(0, component.find(u'.')));
    while (!base.empty() && base.back() == u' ') {
        base.pop_back();
    }
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") {
        return true;
    }
    return base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT")) && base[3] >= u'1' &&
           base[3] <= u'9';
}

std::u16string_view NameReason(std::u16string_view name) {
    if (system::PathComponents(name).empty()) {
        return u"it has no name";
    }
    for (char16_t c : name) {
        if (c < 0x20) {
            return u"it holds a control character";
        }
    }
    if (std::u16string_view reason = system::EscapeReason(name); !reason.empty()) {
        return reason;
    }
    for (std::u16string_view component : system::PathComponents(name)) {
        if (IsDeviceName(component)) {
            return u"it names a device";
        }
    }
    return {};
}

// What kind of member the archive says an entry is: only plain files and folders are extracted.
std::u16string_view KindReason(const ZipArchive& archive, zip_uint64_t index, const zip_stat_t& status) {
    if ((status.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && status.encryption_method != ZIP_EM_NONE) {
        return u"it is encrypted";
    }
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive.Get(), index, 0, &system, &attributes) != 0 ||
        system != ZIP_OPSYS_UNIX) {
        return {};
    }
    const mode_t type = static_cast<mode_t>(attributes >> 16) & S_IFMT;
    if (type == S_IFLNK) {
        return u"it is a symbolic link";
    }
    if (type != 0 && type != S_IFREG && type != S_IFDIR) {
        return u"it is a special file";
    }
    return {};
}

/// One member that passed the checks, with its name as the relative path to write.
struct Member {
    zip_uint64_t index = 0;
    std::u16string name;
    std::u16string path; ///< the components joined by "/"
};

std::u16string JoinComponents(const std::vector<std::u16string_view>& components, std::size_t count) {
    std::u16string joined;
    for (std::size_t level = 0; level < count; ++level) {
        if (level > 0) {
            joined += u'/';
        }
        joined += components[level];
    }
    return joined;
}

/// The members of a package sorted into files and folders, every one checked.
struct CheckedPackage {
    std::vector<Member> files;
    std::set<std::u16string> folders; ///< parents sort before their children
};

CheckedPackage CheckPackage(const ZipArchive& archive, std::u16string_view package,
                            const ExtractLimits& limits) {
    const zip_uint64_t count = EntryCount(archive, package);
    if (count > limits.maxEntries) {
        RaiseTooLarge(package, u"holds more than " + Number(limits.maxEntries) + u" entries");
    }
    CheckedPackage checked;
    std::set<std::u16string> filePaths;
    std::uint64_t declared = 0;
    for (zip_uint64_t index = 0; index < count; ++index) {
        const zip_stat_t status = StatEntry(archive, index, package);
        const std::u16string name = automation::FromUtf8(status.name);
        if (std::u16string_view reason = NameReason(name); !reason.empty()) {
            RaiseRefused(package, name, reason);
        }
        if (std::u16string_view reason = KindReason(archive, index, status); !reason.empty()) {
            RaiseRefused(package, name, reason);
        }
        const std::vector<std::u16string_view> components = system::PathComponents(name);
        const bool isFolder = EndsWithSeparator(name);
        const std::size_t folderLevels = isFolder ? components.size() : components.size() - 1;
        for (std::size_t levels = 1; levels <= folderLevels; ++levels) {
            checked.folders.insert(JoinComponents(components, levels));
        }
        if (isFolder) {
            continue;
        }
        const std::uint64_t size = (status.valid & ZIP_STAT_SIZE) != 0 ? status.size : 0;
        declared += size;
        if (size > limits.maxTotalBytes || declared > limits.maxTotalBytes) {
            RaiseTooLarge(package, u"would unpack to more than " + Number(limits.maxTotalBytes) + u" bytes");
        }
        std::u16string path = JoinComponents(components, components.size());
        filePaths.insert(path);
        checked.files.push_back({index, name, std::move(path)});
    }
    for (const Member& file : checked.files) {
        if (checked.folders.count(file.path) != 0) {
            RaiseRefused(package, file.name, u"it is both a file and a folder of the package");
        }
    }
    return checked;
}

std::error_code LastError() {
    return {errno, std::system_category()};
}

/// The writing side of one extraction: folders it created and files it wrote beside their
/// targets. Until Commit renames them, dropping it removes both, so that a package found
/// damaged halfway leaves the destination as it was.
class Extraction {
public:
    Extraction(std::u16string_view package, std::u16string_view destination, const ExtractLimits& limits)
        : mPackage(package), mDestination(destination), mLimits(limits) {}
    ~Extraction() { Discard(); }
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    void CreateDestination() {
        if (!system::FolderExists(mDestination)) {
            system::CreateFolders(mDestination);
            mCreated.push_back(system::ToNativePath(mDestination));
        }
    }

    void CreateFolder(const std::u16string& relative) {
        const fs::path folder = system::ToNativePath(system::JoinInside(mDestination, relative));
        struct stat status {};
        if (::lstat(folder.c_str(), &status) == 0) {
            // Writing through a link would put the package's files wherever the link points.
            if (S_ISLNK(status.st_mode)) {
                RaiseRefused(mPackage, relative, u"the destination holds a link in its place");
            }
            if (!S_ISDIR(status.st_mode)) {
                RaiseRefused(
                    mPackage, relative,
                    S_ISREG(status.st_mode)
                        ? u"the destination holds a file where the package has a folder"
                        : u"the destination holds a pipe, socket or device where the package has a folder");
            }
            return;
        }
        if (::mkdir(folder.c_str(), 0777) != 0) {
            system::RaiseFileError(LastError(), system::FromNativePath(folder));
        }
        mCreated.push_back(folder);
    }

    void Unpack(const ZipArchive& archive, const Member& member) {
        const fs::path target = system::ToNativePath(system::JoinInside(mDestination, member.path));
        // A link, pipe, socket or device where the package has a file is replaced, never opened.
        struct stat status {};
        if (::lstat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            RaiseRefused(mPackage, member.name,
                         u"the destination holds a folder where the package has a file");
        }
        system::FileBeside& file = mPending.emplace_back(target);
        std::error_code writeError;
        {
            ZipFile entry(zip_fopen_index(archive.Get(), member.index, 0));
            if (entry.Get() == nullptr) {
                RaiseDamaged(mPackage, zip_strerror(archive.Get()));
            }
            std::array<char, 65536> buffer;
            for (;;) {
                const zip_int64_t got = zip_fread(entry.Get(), buffer.data(), buffer.size());
                if (got < 0) {
                    RaiseDamaged(mPackage,
                                 automation::ToUtf8(member.name) + ": " + zip_file_strerror(entry.Get()));
                }
                if (got == 0) {
                    break;
                }
                mWritten += static_cast<std::uint64_t>(got);
                // The sizes an archive declares may lie; what it really unpacks to counts.
                if (mWritten > mLimits.maxTotalBytes) {
                    RaiseTooLarge(mPackage,
                                  u"would unpack to more than " + Number(mLimits.maxTotalBytes) + u" bytes");
                }
                if (!writeError) {
                    writeError = file.Write({buffer.data(), static_cast<std::size_t>(got)});
                }
            }
        }
        // Closed now: a large package must not hold a descriptor open for each of its files.
        if (std::error_code closeError = file.Close(); !writeError) {
            writeError = closeError;
        }
        if (writeError) {
            system::RaiseFileError(writeError, system::FromNativePath(target));
        }
    }

    /// Renames every written file over its target.
    void Commit() {
        for (system::FileBeside& file : mPending) {
            if (std::error_code error = file.Replace()) {
                system::RaiseFileError(error, system::FromNativePath(file.Target()));
            }
        }
        mPending.clear();
        mCreated.clear();
    }

private:
    void Discard() noexcept {
        // The files go first: a folder is removed only when empty.
        mPending.clear();
        for (auto folder = mCreated.rbegin(); folder != mCreated.rend(); ++folder) {
            ::rmdir(folder->c_str());
        }
    }

    std::u16string mPackage;
    std::u16string mDestination;
    ExtractLimits mLimits;
    std::uint64_t mWritten = 0;
    std::vector<system::FileBeside> mPending; ///< written, not yet renamed over their targets
    std::vector<fs::path> mCreated;           ///< in order of creation
};

} // namespace

std::vector<PackageEntry> ListPackage(std::u16string_view package) {
    const ZipArchive archive = OpenPackage(package);
    const zip_uint64_t count = EntryCount(archive, package);
    std::vector<PackageEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (zip_uint64_t index = 0; index < count; ++index) {
        const zip_stat_t status = StatEntry(archive, index, package);
        PackageEntry entry;
        entry.name = automation::FromUtf8(status.name);
        entry.size = (status.valid & ZIP_STAT_SIZE) != 0 ? status.size : 0;
        entry.isFolder = EndsWithSeparator(entry.name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ExtractPackage(std::u16string_view package, std::u16string_view destination,
                    const ExtractLimits& limits) {
    const ZipArchive archive = OpenPackage(package);
    // Every name is checked before the first byte is written.
    const CheckedPackage checked = CheckPackage(archive, package, limits);
    Extraction extraction(package, destination, limits);
    extraction.CreateDestination();
    for (const std::u16string& folder : checked.folders) {
        extraction.CreateFolder(folder);
    }
    for (const Member& file : checked.files) {
        extraction.Unpack(archive, file);
    }
    // A crash before the renames leaves only hidden temporary files; the generation run records
    // the package in its cache only at its end, so the next run extracts it again.
    extraction.Commit();
}

} // namespace qv::zip
