#include "platform/sql/AccessQueryAnalyzer.h"

#include <algorithm>
#include <cassert>

namespace qv::sql {

namespace {

bool DecideUpdatable(const AccessQueryOutline& outline) {
    if (outline.kind != AccessStatementKind::Select || !outline.complete) {
        return false;
    }
    if (outline.distinct || outline.hasInto || outline.hasGroupBy || outline.hasHaving || outline.hasUnion ||
        outline.hasAggregate || outline.hasSubqueryColumn) {
        return false;
    }
    // Two FROM items without a join are a Cartesian product, which Access never updates.
    if (outline.fromItems != 1 || outline.sources.empty()) {
        return false;
    }
    return std::none_of(outline.sources.begin(), outline.sources.end(),
                        [](const AccessQuerySource& source) { return source.isSubquery; });
}

} // namespace

void AccessQueryAnalyzer::SetSql(std::u16string_view sql) {
    mOutline = OutlineAccessQuery(sql);
    mUpdatable = DecideUpdatable(mOutline);
    mCurrentJoin = AccessQueryJoin::NoSource;
}

std::u16string AccessQueryAnalyzer::BaseTable() const {
    if (!mOutline.joins.empty() || mOutline.fromItems != 1 || mOutline.sources.size() != 1) {
        return {};
    }
    return mOutline.sources.front().name;
}

void AccessQueryAnalyzer::FirstJoin() noexcept {
    mCurrentJoin = mOutline.joins.empty() ? AccessQueryJoin::NoSource : 0;
}

bool AccessQueryAnalyzer::NextJoin() noexcept {
    if (mCurrentJoin == AccessQueryJoin::NoSource || mCurrentJoin + 1 >= mOutline.joins.size()) {
        mCurrentJoin = AccessQueryJoin::NoSource;
        return false;
    }
    ++mCurrentJoin;
    return true;
}

const AccessQueryJoin* AccessQueryAnalyzer::CurrentJoin() const noexcept {
    if (mCurrentJoin >= mOutline.joins.size()) {
        return nullptr;
    }
    return &mOutline.joins[mCurrentJoin];
}

std::u16string AccessQueryAnalyzer::SourceName(std::size_t source) const {
    if (source >= mOutline.sources.size()) {
        return {};
    }
    return mOutline.sources[source].name;
}

std::u16string AccessQueryAnalyzer::JoinLeftTable() const {
    const AccessQueryJoin* join = CurrentJoin();
    return join ? SourceName(join->leftSource) : std::u16string();
}

std::u16string AccessQueryAnalyzer::JoinLeftColumn() const {
    const AccessQueryJoin* join = CurrentJoin();
    return join ? join->leftColumn : std::u16string();
}

std::u16string AccessQueryAnalyzer::JoinRightTable() const {
    const AccessQueryJoin* join = CurrentJoin();
    return join ? SourceName(join->rightSource) : std::u16string();
}

std::u16string AccessQueryAnalyzer::JoinRightColumn() const {
    const AccessQueryJoin* join = CurrentJoin();
    return join ? join->rightColumn : std::u16string();
}

std::u16string AccessQueryAnalyzer::JoinType() const {
    const AccessQueryJoin* join = CurrentJoin();
    if (!join) {
        return {};
    }
    switch (join->kind) {
    case AccessJoinKind::Inner:
        return u"INNER";
    case AccessJoinKind::Left:
        return u"LEFT";
    case AccessJoinKind::Right:
        return u"RIGHT";
    }
    assert(false && "unknown join kind");
    return {};
}

} // namespace qv::sql
