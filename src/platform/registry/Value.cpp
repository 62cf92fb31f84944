#include "platform/registry/Value.h"

#include <cassert>

namespace qv::registry {

DataKind DataKindOf(std::uint32_t type) noexcept {
    switch (type) {
    case ValueType::Text:
    case ValueType::ExpandText:
        return DataKind::Text;
    case ValueType::MultiText:
        return DataKind::MultiText;
    case ValueType::Dword:
    case ValueType::DwordBigEndian:
        return DataKind::Number;
    default:
        return DataKind::Bytes;
    }
}

Value Value::Text(std::u16string text, std::uint32_t type) {
    assert(DataKindOf(type) == DataKind::Text && "a text value needs type 1 or 2");
    return Value(type, std::move(text));
}

Value Value::MultiText(std::vector<std::u16string> texts) {
    return Value(ValueType::MultiText, std::move(texts));
}

Value Value::Number(std::uint32_t number, std::uint32_t type) {
    assert(DataKindOf(type) == DataKind::Number && "a number value needs type 4 or 5");
    return Value(type, number);
}

Value Value::Bytes(std::vector<std::uint8_t> bytes, std::uint32_t type) {
    assert(DataKindOf(type) == DataKind::Bytes && "a byte value needs a type without a shape of its own");
    return Value(type, std::move(bytes));
}

const std::u16string& Value::AsText() const {
    assert(Kind() == DataKind::Text);
    return std::get<std::u16string>(mData);
}

const std::vector<std::u16string>& Value::AsMultiText() const {
    assert(Kind() == DataKind::MultiText);
    return std::get<std::vector<std::u16string>>(mData);
}

std::uint32_t Value::AsNumber() const {
    assert(Kind() == DataKind::Number);
    return std::get<std::uint32_t>(mData);
}

const std::vector<std::uint8_t>& Value::AsBytes() const {
    assert(Kind() == DataKind::Bytes);
    return std::get<std::vector<std::uint8_t>>(mData);
}

} // namespace qv::registry
