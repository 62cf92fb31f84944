#include "PackageFiles.h"

#include <zip.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace qv::test::templates {

std::map<std::string, ZipEntry> ReadZip(const std::filesystem::path& file) {
    std::map<std::string, ZipEntry> entries;
    int error = 0;
    std::unique_ptr<zip_t, int (*)(zip_t*)> archive(zip_open(file.c_str(), ZIP_RDONLY, &error), zip_close);
    if (!archive) {
        ADD_FAILURE() << "cannot open " << file << " (libzip error " << error << ")";
        return entries;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0) {
            ADD_FAILURE() << "cannot read entry " << index << " of " << file;
            continue;
        }
        ZipEntry entry;
        entry.bytes.resize(static_cast<std::size_t>(stat.size));
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> data(
            zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(index), 0), zip_fclose);
        if (!data ||
            zip_fread(data.get(), entry.bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size)) {
            ADD_FAILURE() << "cannot read " << stat.name << " of " << file;
            continue;
        }
        entry.modified = stat.mtime;
        entries.emplace(stat.name, std::move(entry));
    }
    return entries;
}

void ExtractZip(const std::filesystem::path& file, const std::filesystem::path& folder) {
    for (const auto& [name, entry] : ReadZip(file)) {
        const std::filesystem::path path = folder / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << entry.bytes;
    }
}

} // namespace qv::test::templates
