#pragma once

#include "platform/ado/Recordset.h"

#include "platform/automation/Variant.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace qv::ado {

class Connection;

/// A value bound to one "?" placeholder of a statement, described as a command parameter is:
/// its ADO data type, its size (characters or bytes; the larger of it and the value's length is
/// bound) and, for exact numbers, its precision and scale. Null and Empty bind SQL NULL.
struct ParameterValue {
    std::int32_t type = 0;
    std::int32_t size = 0;
    std::uint8_t precision = 0;
    std::uint8_t numericScale = 0;
    automation::Variant value;
};

/// What running a statement gave: its rows, when it returns any (the recordset is open and read
/// whole), and the number of rows it changed (-1 when the driver cannot tell).
struct CommandResult {
    Recordset rows;
    std::int64_t recordsAffected = -1;
};

/// Prepares one statement of any kind, binds `parameters` to its placeholders in order and runs
/// it. Values are never spliced into the text: each goes to the driver with its own type, so a
/// quote in a value is only text. A value that does not convert to its parameter's type raises
/// the conversion's error (13 type mismatch, 6 overflow) before anything runs; driver errors
/// fill the connection's Errors and are raised.
CommandResult ExecuteCommand(Connection& connection, std::u16string_view sql,
                             std::span<const ParameterValue> parameters);

} // namespace qv::ado
