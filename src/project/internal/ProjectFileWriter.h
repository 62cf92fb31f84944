#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qv::xml {
class XmlWriter;
}

namespace qv {

class QelDatabase;
class QoProperties;

/// One field relation of a master/detail pair.
struct FieldRelation {
    std::u16string masterField;
    std::u16string detailField;
};

/// Writes the project file, byte for byte: the declaration, the `Project` element with the
/// project's settings, then its extensions, its database with tables and fields, its
/// master/detail pairs and its custom scripts, called in that order. Each entity's settings
/// become attributes of its element (SettingAttributes.h). Line breaks are CR LF, one after
/// each element start that has children and after each element, so that the file reads one
/// element per line; nothing else is added.
///
/// Nothing is written to disk here: Finish gives the bytes, and the caller writes them beside
/// the file and renames. A value that cannot be written raises before any file is touched.
class ProjectFileWriter {
public:
    /// `encoding` is the charset to write in and to declare; "" writes UTF-8 and declares no
    /// encoding. `byteOrderMark` puts the charset's byte-order mark first.
    ProjectFileWriter(std::u16string_view encoding, bool byteOrderMark);
    ~ProjectFileWriter();
    ProjectFileWriter(const ProjectFileWriter&) = delete;
    ProjectFileWriter& operator=(const ProjectFileWriter&) = delete;

    /// The declaration and the `Project` start tag with `Version` and the project's settings.
    void BeginProject(std::u16string_view version, const QoProperties& settings);
    /// An `Extension` element from the extension's settings.
    void WriteExtension(const QoProperties& extension);
    /// The `Database` element with one `Table` per table in list order, each with one `Field`
    /// per field in list order.
    void WriteDatabase(const QelDatabase& database);
    /// A `MasterDetail` element with its `Relation` elements.
    void WriteMasterDetail(std::u16string_view masterTable, std::u16string_view detailTable,
                           std::span<const FieldRelation> relations);
    /// A `CustomScript` element from the script's settings, holding its code.
    void WriteCustomScript(const QoProperties& script, std::u16string_view code);
    /// Ends the `Project` element and gives the file's bytes.
    std::string Finish();

private:
    enum class Section { Start, Extensions, Database, MasterDetails, CustomScripts };
    /// Moves on to a later section of the file, writing the line break that starts it.
    void Enter(Section section);
    void LineBreak();
    /// The code in CDATA. A CR inside a section would be read back as LF, so each CR is written
    /// as a character reference between sections.
    void WriteCode(std::u16string_view code);

    std::unique_ptr<xml::XmlWriter> mWriter;
    Section mSection = Section::Start;
};

} // namespace qv
