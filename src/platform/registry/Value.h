#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace qv::registry {

/// Registry value type numbers, as the registry functions number them. A hive keeps any
/// number; these are the ones with data of their own shape.
namespace ValueType {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t Text = 1;           // REG_SZ
inline constexpr std::uint32_t ExpandText = 2;     // REG_EXPAND_SZ: text with %NAME% references
inline constexpr std::uint32_t Binary = 3;         // REG_BINARY
inline constexpr std::uint32_t Dword = 4;          // REG_DWORD
inline constexpr std::uint32_t DwordBigEndian = 5; // REG_DWORD_BIG_ENDIAN
inline constexpr std::uint32_t Link = 6;           // REG_LINK (bytes)
inline constexpr std::uint32_t MultiText = 7;      // REG_MULTI_SZ
inline constexpr std::uint32_t Qword = 11;         // REG_QWORD (bytes, little-endian)
} // namespace ValueType

/// The shape of a value's data, decided by its type number alone.
enum class DataKind {
    Text,      // types 1 and 2: one text (stored unexpanded)
    MultiText, // type 7: a list of texts
    Number,    // types 4 and 5: a 32-bit number (for 5, the number its big-endian bytes denote)
    Bytes,     // every other type: the bytes as stored
};

DataKind DataKindOf(std::uint32_t type) noexcept;

/// One registry value: its type number and data of the shape that type has. Copyable.
class Value {
public:
    /// An empty text of type 1.
    Value() = default;

    static Value Text(std::u16string text, std::uint32_t type = ValueType::Text);
    static Value MultiText(std::vector<std::u16string> texts);
    static Value Number(std::uint32_t number, std::uint32_t type = ValueType::Dword);
    static Value Bytes(std::vector<std::uint8_t> bytes, std::uint32_t type = ValueType::Binary);

    std::uint32_t Type() const noexcept { return mType; }
    DataKind Kind() const noexcept { return DataKindOf(mType); }

    // Each accessor asserts that the value has that kind.
    const std::u16string& AsText() const;
    const std::vector<std::u16string>& AsMultiText() const;
    std::uint32_t AsNumber() const;
    const std::vector<std::uint8_t>& AsBytes() const;

    bool operator==(const Value&) const = default;

private:
    using Data =
        std::variant<std::u16string, std::vector<std::u16string>, std::uint32_t, std::vector<std::uint8_t>>;
    Value(std::uint32_t type, Data data) : mType(type), mData(std::move(data)) {}

    std::uint32_t mType = ValueType::Text;
    Data mData;
};

} // namespace qv::registry
