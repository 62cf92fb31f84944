#include "support/ZipWriter.h"

#include <zip.h>

namespace qv::test {

std::string WriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& members) {
    std::filesystem::create_directories(file.parent_path());
    int code = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive == nullptr) {
        return "cannot open " + file.string() + " (libzip error " + std::to_string(code) + ")";
    }
    for (const auto& [name, content] : members) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (source == nullptr || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return "cannot add " + name + " to " + file.string();
        }
    }
    if (zip_close(archive) != 0) {
        std::string error = "cannot write " + file.string() + ": " + zip_strerror(archive);
        zip_discard(archive);
        return error;
    }
    return "";
}

std::string WriteZip(const std::filesystem::path& file, const std::map<std::string, std::string>& members) {
    return WriteZip(file, std::vector<std::pair<std::string, std::string>>(members.begin(), members.end()));
}

} // namespace qv::test
