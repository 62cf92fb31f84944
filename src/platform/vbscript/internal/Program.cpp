#include "platform/vbscript/internal/Program.h"

#include "platform/vbscript/internal/Builtins.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace qv::vbscript {

void ApplyLiteralTyping(automation::Variant& left, automation::Variant& right, std::uint8_t flags) {
    auto convert = [flags](automation::Variant& operand) {
        if (operand.IsObject()) {
            operand = automation::DefaultValue(operand);
        }
        const automation::Variant& plain = operand.Deref();
        if ((flags & CompareNumberLiteral) != 0) {
            if (!plain.IsString()) {
                return;
            }
            if ((flags & CompareTextLiteral) == 0) {
                operand = automation::Variant(automation::ToDouble(plain));
                return;
            }
            // Two literals: text that is no number stays text, and compares as text does
            // with any number (greater), rather than failing.
            try {
                operand = automation::Variant(automation::ToDouble(plain));
            } catch (const automation::Error&) {
            }
        } else if ((flags & CompareTextLiteral) != 0 && plain.IsNumeric()) {
            operand = automation::Variant(automation::ToString(plain));
        }
    };
    convert(left);
    convert(right);
}

NameId NameTable::Intern(std::u16string_view name) {
    auto it = mIds.find(name);
    if (it != mIds.end()) {
        return it->second;
    }
    auto id = static_cast<NameId>(mSpellings.size());
    mSpellings.emplace_back(name);
    mIds.emplace(std::u16string(name), id);
    return id;
}

std::optional<NameId> NameTable::Find(std::u16string_view name) const {
    auto it = mIds.find(name);
    if (it == mIds.end()) {
        return std::nullopt;
    }
    return it->second;
}

namespace {

/// Whether a line ends at `index`: CR LF counts once, at its LF.
bool EndsLine(std::u16string_view text, std::size_t index) noexcept {
    const char16_t c = text[index];
    // Most units are neither a line break nor near one: one comparison each passes them.
    if (c > u'\r' && c < 0x2028) {
        return false;
    }
    if (c == u'\r' && index + 1 < text.size() && text[index + 1] == u'\n') {
        return false;
    }
    return c == u'\r' || c == u'\n' || c == 0x2028 || c == 0x2029;
}

/// Whether two texts are the same. Equality alone compares the characters as one block of bytes,
/// where the ordering comparison walks them one by one: a page's script is tens of thousands of
/// characters, compared again for every page.
bool SameText(std::u16string_view left, std::u16string_view right) {
    return left.size() == right.size() &&
           (left.empty() || std::memcmp(left.data(), right.data(), left.size() * sizeof(char16_t)) == 0);
}

/// Calls `each(begin, end)` for the consecutive stretches of a text's first `size` units, with a
/// look at the run's time-out after each: a text may be one line of a hundred million units.
template <class Each> void ForEachStretch(std::size_t size, Each each) {
    constexpr std::size_t Stretch = std::size_t{1} << 20;
    for (std::size_t begin = 0; begin < size; begin += Stretch) {
        each(begin, std::min(size, begin + Stretch));
        CheckRunDeadline();
    }
}

} // namespace

// Text a script builds and runs may be as long as its strings: its copy and the table of its
// lines are charged, and checked before anything is copied.
SourceText::SourceText(std::u16string_view text) {
    std::size_t lines = 1;
    ForEachStretch(text.size(), [&](std::size_t begin, std::size_t end) {
        for (std::size_t index = begin; index < end; ++index) {
            lines += EndsLine(text, index) ? 1 : 0;
        }
    });
    const std::size_t charge = automation::HeapBlockSize(sizeof(SourceText)) +
                               automation::HeapBlockSize((text.size() + 1) * sizeof(char16_t)) +
                               automation::HeapBlockSize(lines * sizeof(std::uint32_t));
    // Held by a member, so that a time-out in the copy below gives it back.
    mCharged.Add(charge);
    mText.reserve(text.size());
    mLineStarts.reserve(lines);
    mLineStarts.push_back(0);
    ForEachStretch(text.size(), [&](std::size_t begin, std::size_t end) {
        mText.append(text.substr(begin, end - begin));
        for (std::size_t index = begin; index < end; ++index) {
            if (EndsLine(text, index)) {
                mLineStarts.push_back(static_cast<std::uint32_t>(index + 1));
            }
        }
    });
}

CodeBlock::~CodeBlock() {
    automation::RefundMemory(mCharged);
}

void CodeBlock::Recharge() {
    auto blockOf = [](const auto& list) {
        return automation::HeapBlockSize(list.capacity() * sizeof(list[0]));
    };
    const std::size_t charge = automation::HeapBlockSize(sizeof(CodeBlock)) + blockOf(code) +
                               blockOf(positions) + blockOf(constants) + blockOf(sites) +
                               blockOf(statements) + blockOf(implicits) + blockOf(localNames);
    automation::RechargeChecked(mCharged, charge);
}

std::pair<std::int32_t, std::int32_t> SourceText::LineColumn(std::uint32_t offset) const {
    auto it = std::upper_bound(mLineStarts.begin(), mLineStarts.end(), offset);
    auto line = static_cast<std::int32_t>(it - mLineStarts.begin());
    std::uint32_t start = mLineStarts[static_cast<std::size_t>(line - 1)];
    return {line, static_cast<std::int32_t>(offset - start) + 1};
}

std::u16string_view SourceText::LineText(std::uint32_t offset) const {
    auto it = std::upper_bound(mLineStarts.begin(), mLineStarts.end(), offset);
    std::size_t start = *(it - 1);
    std::size_t end = it == mLineStarts.end() ? mText.size() : *it;
    while (end > start && (mText[end - 1] == u'\r' || mText[end - 1] == u'\n' || mText[end - 1] == 0x2028 ||
                           mText[end - 1] == 0x2029)) {
        --end;
    }
    return std::u16string_view(mText).substr(start, end - start);
}

const StatementRange* CodeBlock::StatementAt(std::uint32_t pc) const {
    auto it = std::upper_bound(
        statements.begin(), statements.end(), pc,
        [](std::uint32_t value, const StatementRange& range) { return value < range.start; });
    if (it == statements.begin()) {
        return nullptr;
    }
    --it;
    return pc < it->end ? &*it : nullptr;
}

std::uint32_t Module::SlotFor(NameId name) {
    auto it = mSlotIndex.find(name);
    if (it != mSlotIndex.end()) {
        return it->second;
    }
    auto index = static_cast<std::uint32_t>(mSlots.size());
    GlobalSlot& slot = mSlots.emplace_back();
    slot.name = name;
    mSlotPointers.push_back(&slot);
    mSlotIndex.emplace(name, index);
    return index;
}

std::optional<std::uint32_t> Module::FindSlot(NameId name) const {
    auto it = mSlotIndex.find(name);
    if (it == mSlotIndex.end()) {
        return std::nullopt;
    }
    return it->second;
}

GlobalSlot* Module::Defined(NameId name) {
    auto it = mSlotIndex.find(name);
    if (it == mSlotIndex.end() || mSlots[it->second].kind == SlotKind::Unset) {
        return nullptr;
    }
    return &mSlots[it->second];
}

bool NameLookup::StillHolds() const {
    const GlobalSlot* slot = module->Defined(name);
    const SlotKind now = slot ? slot->kind : SlotKind::Unset;
    if (now != kind) {
        return false;
    }
    if (kind != SlotKind::Constant) {
        return true;
    }
    if (slot->value.Type() != constant.Type()) {
        return false;
    }
    return constant.IsNull() || constant.IsEmpty() ||
           automation::Compare(slot->value, constant) == automation::CompareResult::Equal;
}

std::u16string_view CompiledChunk::Text() const noexcept {
    return topLevel->source->Text();
}

const CompiledChunk* Module::RecentChunk(std::u16string_view text) const {
    for (const CompiledChunk& chunk : mRecentChunks) {
        if (SameText(chunk.Text(), text)) {
            return &chunk;
        }
    }
    return nullptr;
}

void Module::RememberChunk(std::u16string_view text, const CompiledChunk& chunk) {
    assert(SameText(chunk.Text(), text) && "a chunk is remembered under its own text");
    constexpr std::size_t Kept = 8;
    std::erase_if(mRecentChunks, [&](const CompiledChunk& recent) { return SameText(recent.Text(), text); });
    if (mRecentChunks.size() == Kept) {
        mRecentChunks.erase(mRecentChunks.begin());
    }
    mRecentChunks.push_back(chunk);
}

} // namespace qv::vbscript
