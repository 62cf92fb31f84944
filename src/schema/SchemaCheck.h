#pragma once

#include <cstdint>
#include <string>

namespace qv {

class Qel;
class QelField;
class QelSchema;
class QelTable;
struct QoSchemaField;

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
    explicit SchemaCheck(Qel& project) : mProject(project) {}

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

    Qel& mProject;
};

} // namespace qv
