#pragma once

#include <optional>
#include <string>
#include <string_view>

// Finding the files of a template, of its extensions and of the product: letter case ignored
// where the file system keeps it.

namespace qv::xml {
class Document;
}

namespace qv {

/// The path of the file `name` in `folder`: as written when that file exists, otherwise a file
/// whose name differs only in letter case (files written on Windows often do); nullopt when
/// there is neither. A name that would leave `folder` raises error 52 (see system::JoinInside).
std::optional<std::u16string> LocateFileNoCase(std::u16string_view folder, std::u16string_view name);

/// The folders a template file is looked up in.
struct TemplateFolders {
    std::u16string_view source;     ///< the folder being read
    std::u16string_view templates;  ///< the template's own folder
    std::u16string_view extensions; ///< holds one folder per extension, named after it
};

/// The path to read for a template file: while the template itself is being read, the first
/// extension of the apartment's list (in sequence order) that has a file of that name supplies
/// it; otherwise the file of the folder being read. A file whose name differs only in letter
/// case is found too. A file or extension name that would leave its folder raises error 52
/// naming it.
std::u16string FindExtensionFile(const TemplateFolders& folders, std::u16string_view fileName);

/// An XML file of the product: the document when it loads and its root element is named after
/// the product word, a dot and `kind` ("Quorvane.language"), letter case ignored; nullopt for a
/// missing or malformed file and for a file of anything else.
std::optional<xml::Document> LoadProductFile(std::u16string_view file, std::u16string_view kind);

} // namespace qv
