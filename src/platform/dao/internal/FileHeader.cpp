#include "platform/dao/internal/FileHeader.h"

#include "platform/dao/internal/Errors.h"

#include "platform/system/CodePage.h"
#include "platform/system/TextCodec.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::dao::internal {

namespace {

// Layout of the header page.
constexpr std::size_t VersionOffset = 0x14;
constexpr std::size_t MaskedOffset = 0x18; // start of the RC4-masked region
constexpr std::size_t Jet3MaskedLength = 126;
constexpr std::size_t Jet4MaskedLength = 128;
constexpr std::size_t CodePageOffset = 0x3C;
constexpr std::size_t DatabaseKeyOffset = 0x3E;
constexpr std::size_t PasswordOffset = 0x42;
constexpr std::size_t Jet3PasswordLength = 20;
constexpr std::size_t Jet4PasswordLength = 40;
constexpr std::size_t CreationDateOffset = 0x72; // Jet 4 and later: masks the password too
constexpr std::uint32_t HeaderMaskKey = 0x6B39DAC7;

constexpr std::string_view JetMagic{"Standard Jet DB\0", 16};
constexpr std::string_view AceMagic{"Standard ACE DB\0", 16};

// The catalogue (MSysObjects) has its table definition on page 2.
constexpr std::size_t CatalogPage = 2;
constexpr unsigned char TableDefinitionPage = 0x02;

std::uint16_t ReadUInt16(std::span<const unsigned char> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t ReadUInt32(std::span<const unsigned char> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

double ReadDouble(std::span<const unsigned char> bytes, std::size_t offset) {
    std::uint64_t bits = 0;
    for (std::size_t index = 0; index < 8; ++index) {
        bits |= static_cast<std::uint64_t>(bytes[offset + index]) << (8 * index);
    }
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The creation date as the whole number of days, saturating like the engine's integer
// conversion, so that a damaged date can never make the conversion undefined.
std::int32_t DaysOf(double date) {
    if (std::isnan(date)) {
        return 0;
    }
    if (date >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (date <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(date);
}

std::optional<FileFormat> FormatOf(unsigned char version, bool aceMagic) {
    if (!aceMagic) {
        switch (version) {
        case 0:
            return FileFormat::Jet3;
        case 1:
            return FileFormat::Jet4;
        default:
            return std::nullopt;
        }
    }
    switch (version) {
    case 2:
        return FileFormat::Ace12;
    case 3:
        return FileFormat::Ace14;
    case 4:
        return FileFormat::Ace15;
    case 5:
        return FileFormat::Ace16;
    case 6:
        return FileFormat::Ace17;
    default:
        return std::nullopt;
    }
}

std::u16string DecodeJet3Password(std::span<const unsigned char> bytes, std::uint16_t codePage) {
    std::string raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    raw.resize(std::min(raw.find('\0'), raw.size()));
    const int page = system::IsSupportedCodePage(codePage) ? codePage : 1252;
    return system::TextCodec::ForCodePage(page).Decode(raw);
}

std::u16string DecodeJet4Password(std::span<const unsigned char> bytes) {
    std::u16string password;
    for (std::size_t index = 0; index + 1 < bytes.size(); index += 2) {
        const char16_t unit = static_cast<char16_t>(bytes[index] | (bytes[index + 1] << 8));
        if (unit == 0) {
            break;
        }
        password.push_back(unit);
    }
    return password;
}

// A file descriptor closed when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : mFd(fd) {}
    ~FileDescriptor() {
        if (mFd >= 0) {
            ::close(mFd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const noexcept { return mFd; }

private:
    int mFd;
};

// Reads `length` bytes at `offset`; false when the file gives fewer.
bool ReadAt(int fd, std::vector<unsigned char>& buffer, std::size_t length, off_t offset) {
    buffer.resize(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            ::pread(fd, buffer.data() + done, length - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

std::u16string ReasonOf(int error) {
    const char* text = std::strerror(error);
    return std::u16string(text, text + std::strlen(text));
}

} // namespace

std::string Rc4KeyStream(std::uint32_t key, std::size_t length) {
    const std::array<unsigned char, 4> keyBytes{
        static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
        static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
    std::array<unsigned char, 256> state;
    for (std::size_t index = 0; index < state.size(); ++index) {
        state[index] = static_cast<unsigned char>(index);
    }
    unsigned char j = 0;
    for (std::size_t index = 0; index < state.size(); ++index) {
        j = static_cast<unsigned char>(j + state[index] + keyBytes[index % keyBytes.size()]);
        std::swap(state[index], state[j]);
    }
    std::string stream(length, '\0');
    unsigned char i = 0;
    j = 0;
    for (char& out : stream) {
        i = static_cast<unsigned char>(i + 1);
        j = static_cast<unsigned char>(j + state[i]);
        std::swap(state[i], state[j]);
        out = static_cast<char>(state[static_cast<unsigned char>(state[i] + state[j])]);
    }
    return stream;
}

std::optional<FileHeader> DecodeFileHeader(std::span<const unsigned char> page) {
    if (page.size() < HeaderBytes || page[0] != 0 || page[1] != 1 || page[2] != 0 || page[3] != 0) {
        return std::nullopt;
    }
    const std::string_view magic(reinterpret_cast<const char*>(page.data() + 4), JetMagic.size());
    if (magic != JetMagic && magic != AceMagic) {
        return std::nullopt;
    }
    const auto format = FormatOf(page[VersionOffset], magic == AceMagic);
    if (!format) {
        return std::nullopt;
    }
    FileHeader header;
    header.format = *format;
    const bool isJet3 = *format == FileFormat::Jet3;
    header.pageSize = isJet3 ? 2048 : 4096;

    std::vector<unsigned char> clear(page.begin(), page.begin() + HeaderBytes);
    const std::size_t maskedLength = isJet3 ? Jet3MaskedLength : Jet4MaskedLength;
    const std::string mask = Rc4KeyStream(HeaderMaskKey, maskedLength);
    for (std::size_t index = 0; index < maskedLength && MaskedOffset + index < clear.size(); ++index) {
        clear[MaskedOffset + index] ^= static_cast<unsigned char>(mask[index]);
    }

    header.codePage = ReadUInt16(clear, CodePageOffset);
    header.databaseKey = ReadUInt32(clear, DatabaseKeyOffset);
    if (isJet3) {
        header.password =
            DecodeJet3Password(std::span(clear).subspan(PasswordOffset, Jet3PasswordLength), header.codePage);
        return header;
    }
    // Jet 4 masks the password once more with the creation date's whole days.
    const std::uint32_t days = static_cast<std::uint32_t>(DaysOf(ReadDouble(clear, CreationDateOffset)));
    std::array<unsigned char, Jet4PasswordLength> password;
    for (std::size_t index = 0; index < password.size(); ++index) {
        const auto dateByte = static_cast<unsigned char>(days >> (8 * (index % 4)));
        password[index] = clear[PasswordOffset + index] ^ dateByte;
    }
    header.password = DecodeJet4Password(password);
    return header;
}

FileHeader ReadFileHeader(const std::string& nativePath, std::u16string_view path) {
    // A pipe or device in the database's place is never opened: it is looked at first, and should
    // one take the file's place before the open, the open does not wait for a writer and what it
    // opened is looked at again below.
    struct stat found {};
    if (::stat(nativePath.c_str(), &found) == 0 && !S_ISREG(found.st_mode)) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, u"it is not a file");
    }
    FileDescriptor file(::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            RaiseFileError(ErrorNumber::FileNotFound, path);
        }
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, ReasonOf(error));
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, ReasonOf(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, u"it is not a file");
    }
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    if (fileSize == 0) {
        RaiseFileError(ErrorNumber::UnrecognizedFormat, path, u"the file is empty");
    }
    std::vector<unsigned char> bytes;
    if (fileSize < HeaderBytes || !ReadAt(file.Get(), bytes, HeaderBytes, 0)) {
        RaiseFileError(ErrorNumber::UnrecognizedFormat, path, u"the file is too short to be a database");
    }
    auto header = DecodeFileHeader(bytes);
    if (!header) {
        RaiseFileError(ErrorNumber::UnrecognizedFormat, path, u"it has no Access database header");
    }
    // A database is whole pages; anything else was cut short or appended to.
    if (fileSize % header->pageSize != 0 || fileSize < (CatalogPage + 1) * header->pageSize) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                       u"the file is damaged (its length is not a whole number of pages)");
    }
    if (!ReadAt(file.Get(), bytes, 1, static_cast<off_t>(CatalogPage * header->pageSize))) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, u"the file cannot be read");
    }
    unsigned char pageType = bytes[0];
    const bool isAce = header->format != FileFormat::Jet3 && header->format != FileFormat::Jet4;
    // The pages of an encoded Jet file are masked with the database key XOR the page number;
    // those of an encrypted .accdb file cannot be looked at (CheckPassword reports them).
    if (header->databaseKey != 0 && !isAce) {
        pageType ^= static_cast<unsigned char>(Rc4KeyStream(header->databaseKey ^ CatalogPage, 1)[0]);
    }
    if ((header->databaseKey == 0 || !isAce) && pageType != TableDefinitionPage) {
        RaiseFileError(ErrorNumber::CannotOpenDatabase, path, u"the file is damaged (no catalogue)");
    }
    return *header;
}

void CheckPassword(const FileHeader& header, std::u16string_view password, std::u16string_view path) {
    const bool isAce = header.format != FileFormat::Jet3 && header.format != FileFormat::Jet4;
    // An .accdb file with a password is encrypted with a key derived from it; without
    // decrypting, nothing here can tell a right password from a wrong one.
    if (isAce && header.databaseKey != 0) {
        RaiseFileError(
            ErrorNumber::CannotOpenDatabase, path,
            u"it is encrypted with a database password, and encrypted .accdb files cannot be read");
    }
    if (!header.password.empty() && header.password != password) {
        RaiseFileError(ErrorNumber::NotValidPassword, path);
    }
}

std::u16string FormatVersion(FileFormat format) {
    switch (format) {
    case FileFormat::Jet3:
        return u"3.0";
    case FileFormat::Jet4:
        return u"4.0";
    case FileFormat::Ace12:
        return u"12.0";
    case FileFormat::Ace14:
        return u"14.0";
    case FileFormat::Ace15:
        return u"15.0";
    case FileFormat::Ace16:
        return u"16.0";
    case FileFormat::Ace17:
        return u"17.0";
    }
    assert(false && "unknown file format");
    return {};
}

} // namespace qv::dao::internal
