#include "platform/dao/Database.h"

#include "platform/dao/internal/ChildProcess.h"
#include "platform/dao/internal/Errors.h"
#include "platform/dao/internal/FileHeader.h"
#include "platform/dao/internal/FindByName.h"
#include "platform/dao/internal/SchemaReader.h"
#include "platform/dao/internal/SchemaWire.h"

#include "platform/system/Paths.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <charconv>
#include <new>

// Why the schema is read in a child process: libmdb trusts the file it reads. On a damaged
// file it reads past its buffers, dereferences wild pointers, or gives up with exit() or an
// assertion, and no check of ours before the call can foresee every case (a fuzz test of a
// few hundred mutated copies of real files makes it fail with SIGSEGV). So the header is
// checked here first (a clear error for the common cases: no file, an empty, short or
// truncated file, something that is not an Access database), and then the whole read runs
// in a forked copy of the process, which hands back the schema as bytes. Whatever libmdb does
// to that copy, the caller gets either the schema or an error naming the file, and libmdb's
// messages on standard output and error never reach the host's output.

namespace qv::dao {

namespace {

using automation::FromUtf8;
using automation::ToUtf8;

constexpr char ContentsFrame = 'O';
constexpr char ErrorFrame = 'E';

// An error of the reader, as bytes: the frame mark, the number, a line break, the description.
std::string EncodeError(std::int32_t number, std::u16string_view description) {
    return ErrorFrame + std::to_string(number) + '\n' + ToUtf8(description);
}

[[noreturn]] void RaiseEncodedError(std::string_view frame, std::u16string_view path) {
    const std::size_t lineBreak = frame.find('\n');
    std::int32_t number = 0;
    const std::string_view digits = frame.substr(1, lineBreak == std::string_view::npos ? 0 : lineBreak - 1);
    if (lineBreak == std::string_view::npos ||
        std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc()) {
        internal::RaiseFileError(ErrorNumber::CannotOpenDatabase, path, u"the database reader failed");
    }
    automation::Raise(number, u"DAO.Database", FromUtf8(frame.substr(lineBreak + 1)));
}

// Runs in the child process: the schema, or the error that stopped the read, as bytes.
std::string ReadInChild(const std::string& nativePath, std::u16string_view path,
                        const internal::FileHeader& header) {
    try {
        return ContentsFrame + internal::EncodeContents(internal::ReadSchema(nativePath, path, header));
    } catch (const automation::Error& error) {
        return EncodeError(error.Number(), error.Description());
    } catch (const std::bad_alloc&) {
        // Past the reader's memory limit: only a damaged file asks for that much. No frame
        // tells the parent so.
        return {};
    } catch (const std::exception& error) {
        return EncodeError(ErrorNumber::CannotOpenDatabase,
                           u"Cannot open database '" + std::u16string(path) + u"': " +
                               automation::WithFullStop(FromUtf8(error.what())));
    }
}

} // namespace

Database Database::Open(std::u16string_view path, std::u16string_view password, const OpenOptions& options) {
    const std::string nativePath = system::ToNativePath(path).string();
    const internal::FileHeader header = internal::ReadFileHeader(nativePath, path);
    // The engine reads Jet passwords only to compare them; libmdb does not compare at all,
    // so without this check a wrong password would open the file.
    internal::CheckPassword(header, password, path);

    const internal::ChildOutcome outcome = internal::RunInChildProcess(
        [&] { return ReadInChild(nativePath, path, header); }, options.timeout, options.memoryLimit);
    switch (outcome.kind) {
    case internal::ChildOutcome::Kind::TimedOut:
        internal::RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                                 u"reading its schema took longer than " +
                                     FromUtf8(std::to_string(options.timeout.count())) + u" ms");
    case internal::ChildOutcome::Kind::Crashed:
        internal::RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                                 u"the file is damaged (the database reader failed on it)");
    case internal::ChildOutcome::Kind::Finished:
        break;
    }
    const std::string_view frame = outcome.output;
    if (!frame.empty() && frame.front() == ErrorFrame) {
        RaiseEncodedError(frame, path);
    }
    std::optional<Contents> contents;
    if (!frame.empty() && frame.front() == ContentsFrame) {
        contents = internal::DecodeContents(frame.substr(1));
    }
    if (!contents) {
        internal::RaiseFileError(ErrorNumber::CannotOpenDatabase, path,
                                 u"the file is damaged (the database reader failed on it)");
    }
    return Database(std::u16string(path), std::move(*contents));
}

Database::Database(std::u16string name, Contents contents)
    : mName(std::move(name)), mFormat(contents.format), mTableDefs(std::move(contents.tableDefs)),
      mQueryDefs(std::move(contents.queryDefs)) {}

std::u16string Database::Version() const {
    return internal::FormatVersion(mFormat);
}

std::vector<std::u16string> Database::ViewNames() const {
    std::vector<std::u16string> names;
    for (const QueryDef& query : mQueryDefs) {
        if (query.IsView()) {
            names.push_back(query.name);
        }
    }
    return names;
}

const TableDef* Database::FindTableDef(std::u16string_view name) const noexcept {
    return internal::FindByName(mTableDefs, name);
}

const QueryDef* Database::FindQueryDef(std::u16string_view name) const noexcept {
    return internal::FindByName(mQueryDefs, name);
}

std::u16string EngineVersion() {
    // The engine whose formats this layer reads, up to .accdb files.
    return u"12.0";
}

} // namespace qv::dao
