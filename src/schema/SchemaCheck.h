#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class Qel;
class QelField;
class QelSchema;
class QelTable;
struct QoSchemaField;
struct QoSchemaTable;

/// One difference the check counts: the table (or view, custom view, report), the field where
/// one is concerned, and what differs, in words.
struct SchemaDifference {
    std::u16string table;
    std::u16string field;
    std::u16string what;
};

/// A master/detail pair that a synchronisation would remove, the database being as the check
/// read it, and why ("the field "customer_id" of the table "orders" is gone").
struct PairToRemove {
    std::u16string master;
    std::u16string detail;
    std::u16string why;
};

/// Counts how far a project has drifted from its database: its tables and views against the
/// live schema, its custom views against the columns their SQL gives now, and its reports
/// against their source tables in the project. Made for one count and dropped; borrows the
/// project.
///
/// Every difference counts once: a table or view that is new or missing with each of its
/// fields, a changed key, a changed table (a field added, changed or dropped), each field added
/// or changed, and for custom views and reports each field that only the project still has.
class SchemaCheck {
public:
    /// With `differences`, every difference counted is also described there, one entry each.
    /// With `pairsToRemove`, CheckDB also lists there the master/detail pairs that a
    /// synchronisation without renames would remove; they are not counted. With `notCompared`,
    /// the custom views and reports that could not be compared are listed there, each with its
    /// TblCustomError as `what`: they count nothing (a synchronisation cannot bring them in
    /// step), yet the project is not in step with its database while they cannot be read.
    explicit SchemaCheck(Qel& project, std::vector<SchemaDifference>* differences = nullptr,
                         std::vector<PairToRemove>* pairsToRemove = nullptr,
                         std::vector<SchemaDifference>* notCompared = nullptr)
        : mProject(project), mDifferences(differences), mPairsToRemove(pairsToRemove),
          mNotCompared(notCompared) {}

    /// The number of differences, or -1 when the live schema cannot be read (its reason in
    /// ProjErr). Raises when the project has no database.
    std::int16_t CheckDB();

    /// The three counts, for a schema that the caller has read (tables and views) or that each
    /// step reads itself (custom views, reports).
    std::int32_t CheckTablesAndViews(const QelSchema& schema);
    std::int32_t CheckCustomViews();
    std::int32_t CheckReports();

    /// The seven attributes that make up a field's shape (type, size, unique index, zero
    /// length, required, auto-increment, attribute bits) are equal.
    static bool FieldMatchesSchema(const QoSchemaField& column, const QelField& field);
    static bool FieldsMatch(const QelField& a, const QelField& b);

private:
    std::int32_t CheckCustomView(QelTable& view);
    std::int32_t CheckReport(QelTable& report);
    /// Runs one counting step under the second style of the progress window.
    template <class Step> std::int32_t WithProgress(std::u16string_view stage, Step step);

    /// Describes one counted difference when a list was given; gives 1, the count it adds.
    std::int32_t Note(std::u16string_view table, std::u16string_view field, std::u16string what);
    std::int32_t NoteField(std::u16string_view table, const QoSchemaField& column, const QelField* field);
    std::int32_t NoteDuplicates(const QoSchemaTable& record);
    /// Lists the pairs that would point at nothing once the project takes in `schema`.
    void NotePairsToRemove(const QelSchema& schema);
    /// Keeps why a custom view or report could not be compared in its TblCustomError, and
    /// lists it when a list was given; gives 0, the count it adds.
    std::int32_t NoteNotCompared(QelTable& table, std::u16string why);

    Qel& mProject;
    std::vector<SchemaDifference>* mDifferences;
    std::vector<PairToRemove>* mPairsToRemove;
    std::vector<SchemaDifference>* mNotCompared;
};

} // namespace qv
