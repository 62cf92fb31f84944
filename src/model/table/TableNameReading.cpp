#include "model/table/TableNameReading.h"

namespace qv {

std::vector<TableNameReading> TableNameReadings(std::u16string_view given) {
    std::vector<TableNameReading> readings;
    if (given.empty()) {
        return readings;
    }
    readings.push_back({given, {}});
    for (std::size_t dot = given.rfind(u'.'); dot != std::u16string_view::npos && dot > 0;
         dot = given.rfind(u'.', dot - 1)) {
        if (dot + 1 < given.size()) {
            readings.push_back({given.substr(0, dot), given.substr(dot + 1)});
        }
    }
    return readings;
}

std::optional<TableNameReading>
ChooseTableNameReading(std::u16string_view given,
                       const std::function<bool(std::u16string_view table, NameMatch match)>& isTable) {
    const std::vector<TableNameReading> readings = TableNameReadings(given);
    for (const NameMatch match : {NameMatch::Exact, NameMatch::IgnoringCase}) {
        for (const TableNameReading& reading : readings) {
            if (isTable(reading.table, match)) {
                return reading;
            }
        }
    }
    return std::nullopt;
}

} // namespace qv
