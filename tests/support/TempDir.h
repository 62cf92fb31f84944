#pragma once

#include <filesystem>

namespace qv::test {

/// A fresh directory under the system temporary folder, removed with everything in it when the
/// object goes out of scope. Tests never write anywhere else.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return mPath; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return mPath / name; }

private:
    std::filesystem::path mPath;
};

} // namespace qv::test
