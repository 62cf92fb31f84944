#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::xml {
class Element;
}

namespace qv::automation {
class Object;
}

namespace qv {

struct SkippedElement;
struct UnreadAttribute;
class QelCustomScripts;
class QelDatabases;
class QelDatabase;
class QelExtensions;
class QelField;
class QelMasterDetails;
class QelTable;
class QoProperties;

/// What the reader fills: the project's settings, its database list and the name of its
/// current database, and its lists of extensions, master/detail pairs and custom scripts, all
/// borrowed from the project for one load. A list that is not given skips its elements.
struct ProjectFileModel {
    QoProperties& settings;
    QelDatabases& databases;
    std::u16string& databaseName;
    QelExtensions* extensions = nullptr;
    QelMasterDetails* masterDetails = nullptr;
    QelCustomScripts* customScripts = nullptr;
    /// Where the elements the reader reads past are listed (SkippedElement); none when null.
    std::vector<SkippedElement>* skipped = nullptr;
};

/// Rebuilds a project from the elements of its project file (see ProjectFileWriter for the
/// layout). Each element's attributes go into its entity's file settings; what the file does not
/// hold (identifiers, quote characters) is derived again.
///
/// Refused entries (an empty name, a table or field already listed) skip their element and its
/// children; unknown nodes are skipped too, and so are attributes no setting bears or whose text
/// their setting cannot hold. An element that repeats an extension, pair, script or
/// the database read before it is read into that entry. Each element so left out or merged is
/// listed in the model's `skipped`, since a save would write the file without it. What cannot be
/// read at all (a table before any database, a second database of another name) raises, and the
/// load fails as a whole.
class ProjectFileReader {
public:
    explicit ProjectFileReader(ProjectFileModel model);

    /// Called with each table's name before the table is read, for progress.
    void SetTableObserver(std::function<void(std::u16string_view)> observer) {
        mOnTable = std::move(observer);
    }

    /// Reads the root's attributes into the project's settings.
    void ReadProjectSettings(const xml::Element& project);
    /// Reads the child elements of `parent` in document order, and those of each `Database` and
    /// `Table` among them.
    void ReadNodes(const xml::Element& parent);

private:
    void ReadDatabase(const xml::Element& element);
    void ReadTable(const xml::Element& element);
    void ReadField(const xml::Element& element);
    void ReadExtension(const xml::Element& element);
    void ReadMasterDetail(const xml::Element& element);
    void ReadCustomScript(const xml::Element& element);
    /// The project's database; raises when the file has not brought one yet.
    QelDatabase& Database(const xml::Element& element) const;
    /// Lists an element read past: `text` says which and why (without the message prefix),
    /// `fix` what to change in the file.
    void Skip(std::u16string text, std::u16string fix);
    /// Lists an element of a name the reader does not read there.
    void SkipUnknown(const xml::Element& element);
    /// Lists the child elements of an element that holds none, which nothing reads.
    void SkipChildElements(const xml::Element& element);
    /// Lists the attributes of `element` that were not read as the file has them.
    void SkipAttributes(const xml::Element& element, const std::vector<UnreadAttribute>& unread);
    /// Whether an extension, pair or script entry was made or found by an earlier element of
    /// this file; notes it as read otherwise.
    bool ReadBefore(const automation::Object* entry);

    ProjectFileModel mModel;
    std::function<void(std::u16string_view)> mOnTable;
    std::vector<const automation::Object*> mEntriesRead;
    bool mDatabaseRead = false;
};

/// Raises error 5: the element cannot be read, and why (a clause). The load fails as a whole with
/// this text after its own.
[[noreturn]] void RaiseUnreadable(const xml::Element& element, std::u16string_view reason);

/// The code a `CustomScript` element holds: its CDATA sections, with the text between them
/// (the character references the writer puts there, such as CRs), and any other text that is
/// not only white space. White space before the first section and after the last is layout.
/// nullopt when the element's first node that is not layout is no CDATA section.
std::optional<std::u16string> ScriptCodeOf(const xml::Element& element);

/// Raises as reading the elements would, before anything is read: a table or field with no
/// database before it, a database other than the project's, script code that is not in CDATA.
/// `databaseName` is the project's database, or nullopt when it has none; `tables` tells
/// whether a table of that name is listed already (letter case ignored, as the list refuses).
void CheckProjectNodes(const xml::Element& project, std::optional<std::u16string> databaseName,
                       const std::function<bool(std::u16string_view)>& tableListed);

/// The quote characters of a value of a field in SQL, from its ADO type and the kind of its
/// database: "" for numbers and Booleans, "'" for text, "#" for dates on Access and "'"
/// elsewhere. False for any other type, whose quotes stay as they are.
bool SetFieldQuotes(QelField& field, std::int16_t databaseKind);

} // namespace qv
