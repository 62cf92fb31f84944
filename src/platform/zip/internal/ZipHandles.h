#pragma once

#include <zip.h>

#include <string>
#include <utility>

namespace qv::zip::internal {

/// Owns one open archive (zip_t), opened read-only; discarded without writing anything back.
class ZipArchive {
public:
    ZipArchive() noexcept = default;
    explicit ZipArchive(zip_t* handle) noexcept : mHandle(handle) {}
    ~ZipArchive() {
        if (mHandle != nullptr) {
            zip_discard(mHandle);
        }
    }
    ZipArchive(ZipArchive&& other) noexcept : mHandle(std::exchange(other.mHandle, nullptr)) {}
    ZipArchive& operator=(ZipArchive&& other) noexcept {
        std::swap(mHandle, other.mHandle);
        return *this;
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    zip_t* Get() const noexcept { return mHandle; }

private:
    zip_t* mHandle = nullptr;
};

/// Owns one member opened for reading (zip_file_t).
class ZipFile {
public:
    explicit ZipFile(zip_file_t* handle) noexcept : mHandle(handle) {}
    ~ZipFile() {
        if (mHandle != nullptr) {
            zip_fclose(mHandle);
        }
    }
    ZipFile(ZipFile&& other) noexcept : mHandle(std::exchange(other.mHandle, nullptr)) {}
    ZipFile& operator=(ZipFile&& other) noexcept {
        std::swap(mHandle, other.mHandle);
        return *this;
    }
    ZipFile(const ZipFile&) = delete;
    ZipFile& operator=(const ZipFile&) = delete;

    zip_file_t* Get() const noexcept { return mHandle; }

private:
    zip_file_t* mHandle = nullptr;
};

/// Owns one libzip error record (zip_error_t), cleared when it goes.
class ZipError {
public:
    ZipError() noexcept { zip_error_init(&mError); }
    explicit ZipError(int code) noexcept { zip_error_init_with_code(&mError, code); }
    ~ZipError() { zip_error_fini(&mError); }
    ZipError(const ZipError&) = delete;
    ZipError& operator=(const ZipError&) = delete;

    zip_error_t* Get() noexcept { return &mError; }
    std::string Text() { return zip_error_strerror(&mError); }

private:
    zip_error_t mError;
};

} // namespace qv::zip::internal
