#pragma once

#include "platform/automation/Object.h"
#include "platform/automation/Ref.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// One statement a page's connection ran: its text, the ADO types of the values bound to its
/// placeholders, and the error it failed with ("" when it ran).
struct ExecutedStatement {
    std::u16string sql;
    std::vector<std::int32_t> parameterTypes;
    std::u16string error;
};

/// Where a site's connections write every statement they run, for the tests that check them.
using StatementLog = std::vector<ExecutedStatement>;

/// The object a page's Server.CreateObject makes for "ADODB.Connection", "ADODB.Command" or
/// "ADODB.Recordset" over our ado layer and the real drivers, each statement recorded in `log`
/// (which must outlive the objects); nullptr for another class.
automation::Ref<automation::Object> CreateAdoObject(std::u16string_view progId, StatementLog& log);

} // namespace qv::test
