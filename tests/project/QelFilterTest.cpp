#include "project/internal/QelFilter.h"

#include "platform/automation/Conversion.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using automation::CallByName;
using automation::InvokeRead;
using automation::Variant;

TEST(QelFilter, TheCatalogueStaysEmptyAndAnswersEveryLookup) {
    automation::Ref<QelFilter> filter = automation::MakeRef<QelFilter>();
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "new" : "after Load");
        EXPECT_EQ(filter->GroupCount(), 0);
        for (const Variant& order : {Variant(std::int16_t(0)), Variant(std::int16_t(1)), Variant(u"abc"),
                                     Variant(), Variant::Null()}) {
            EXPECT_EQ(filter->GroupName(order), u"");
        }
        EXPECT_EQ(filter->OptionCount(Variant(u"Dates")), 0);
        EXPECT_EQ(filter->OptionName(Variant(u"Dates"), Variant(std::int16_t(1))), u"");
        EXPECT_EQ(filter->Expression(Variant::Null(), Variant(u"x")), u"");
        CallByName(*filter, u"Load", automation::InvokeKind::Method);
    }
    EXPECT_EQ(automation::ToString(CallByName(*filter, u"expression", InvokeRead,
                                              {Variant(u"Dates"), Variant(std::int16_t(1))})),
              u"");
}

} // namespace
} // namespace qv
