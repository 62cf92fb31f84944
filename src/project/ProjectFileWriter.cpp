#include "project/internal/ProjectFileWriter.h"

#include "project/internal/SettingAttributes.h"

#include "model/table/QelDatabase.h"
#include "model/table/QelTable.h"

#include "core/QoProperties.h"

#include "platform/xml/XmlWriter.h"

#include <cassert>

namespace qv {

namespace {

constexpr std::u16string_view CrLf = u"\r\n";

std::u16string Quoted(std::u16string_view kind, std::u16string_view name) {
    return std::u16string(kind) + u" \"" + std::u16string(name) + u"\"";
}

} // namespace

ProjectFileWriter::ProjectFileWriter(std::u16string_view encoding, bool byteOrderMark)
    : mWriter(std::make_unique<xml::XmlWriter>(encoding)) {
    if (byteOrderMark) {
        mWriter->ByteOrderMark();
    }
}

ProjectFileWriter::~ProjectFileWriter() = default;

void ProjectFileWriter::LineBreak() {
    mWriter->Whitespace(CrLf);
}

void ProjectFileWriter::Enter(Section section) {
    assert(mSection != Section::Start && section >= mSection && "sections come in file order");
    // The pairs and the scripts each start with a line break of their own.
    if (section != mSection && (section == Section::MasterDetails || section == Section::CustomScripts)) {
        LineBreak();
    }
    mSection = section;
}

void ProjectFileWriter::BeginProject(std::u16string_view version, const QoProperties& settings) {
    assert(mSection == Section::Start);
    mWriter->Declaration(/*standalone=*/true);
    LineBreak();
    mWriter->OpenTag(u"Project");
    mWriter->WriteAttribute(u"Version", version);
    WriteSettingAttributes(*mWriter, settings, u"the project");
    mWriter->CloseTag();
    LineBreak();
    mSection = Section::Extensions;
}

void ProjectFileWriter::WriteExtension(const QoProperties& extension) {
    Enter(Section::Extensions);
    mWriter->OpenTag(u"Extension");
    WriteSettingAttributes(*mWriter, extension, u"an extension");
    mWriter->CloseEmptyTag();
    LineBreak();
}

void ProjectFileWriter::WriteDatabase(const QelDatabase& database) {
    assert(mSection < Section::Database && "one database per project");
    Enter(Section::Database);
    mWriter->OpenTag(u"Database");
    WriteSettingAttributes(*mWriter, database, Quoted(u"the database", SettingText(database, u"DBName")));
    mWriter->CloseTag();
    LineBreak();
    for (const QelTable& table : *database.tables()) {
        const std::u16string tableName = SettingText(table, u"TblName");
        mWriter->OpenTag(u"Table");
        WriteSettingAttributes(*mWriter, table, Quoted(u"table", tableName));
        mWriter->CloseTag();
        LineBreak();
        for (const QelField& field : *table.Fields()) {
            mWriter->OpenTag(u"Field");
            WriteSettingAttributes(*mWriter, field,
                                   Quoted(u"table", tableName) + u", " +
                                       Quoted(u"field", SettingText(field, u"FldName")));
            mWriter->CloseEmptyTag();
            LineBreak();
        }
        mWriter->EndTag(u"Table");
        LineBreak();
    }
    mWriter->EndTag(u"Database");
}

void ProjectFileWriter::WriteMasterDetail(std::u16string_view masterTable, std::u16string_view detailTable,
                                          std::span<const FieldRelation> relations) {
    Enter(Section::MasterDetails);
    mWriter->OpenTag(u"MasterDetail");
    mWriter->WriteAttribute(u"MasterTable", masterTable);
    mWriter->WriteAttribute(u"DetailTable", detailTable);
    mWriter->CloseTag();
    LineBreak();
    for (const FieldRelation& relation : relations) {
        mWriter->OpenTag(u"Relation");
        mWriter->WriteAttribute(u"MasterField", relation.masterField);
        mWriter->WriteAttribute(u"DetailField", relation.detailField);
        mWriter->CloseEmptyTag();
        LineBreak();
    }
    mWriter->EndTag(u"MasterDetail");
    LineBreak();
}

void ProjectFileWriter::WriteCustomScript(const QoProperties& script, std::u16string_view code) {
    Enter(Section::CustomScripts);
    mWriter->OpenTag(u"CustomScript");
    WriteSettingAttributes(*mWriter, script, u"a custom script");
    mWriter->CloseTag();
    LineBreak();
    WriteCode(code);
    LineBreak();
    mWriter->EndTag(u"CustomScript");
    LineBreak();
}

void ProjectFileWriter::WriteCode(std::u16string_view code) {
    // Always at least one section, so that the content starts with one; one more after a CR
    // at the very end, so that the reference is never mistaken for the line break after it.
    std::size_t start = 0;
    for (std::size_t cr = code.find(u'\r'); cr != std::u16string_view::npos; cr = code.find(u'\r', start)) {
        if (cr > start || start == 0) {
            mWriter->CData(code.substr(start, cr - start));
        }
        mWriter->Text(u"\r");
        start = cr + 1;
    }
    if (start < code.size() || start == 0 || code.back() == u'\r') {
        mWriter->CData(code.substr(start));
    }
}

std::string ProjectFileWriter::Finish() {
    assert(mSection != Section::Start);
    mWriter->EndTag(u"Project");
    LineBreak();
    return mWriter->Bytes();
}

} // namespace qv
