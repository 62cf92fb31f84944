#include "LibraryTestSupport.h"

#include <cmath>

namespace qv::vbscript::testing {
namespace {

const Variant Null = Variant::Null();
const Variant Empty;

TEST(MathFunctionsTest, DomainsAndTypes) {
    ExpectOutcomes({
        {u"Sqr", {Variant(36100)}, "Double:190"},
        {u"Sqr", {Empty}, "Double:0"},
        {u"Sqr", {Variant(-2)}, "error 5"},
        {u"Sqr", {Variant(true)}, "error 5"},
        {u"Log", {Variant(1)}, "Double:0"},
        {u"Log", {Variant(0)}, "error 5"},
        {u"Log", {Variant(false)}, "error 5"},
        {u"Exp", {Variant(0)}, "Double:1"},
        {u"Exp", {Variant(1000)}, "error 6"},
        {u"Atn", {Variant(0)}, "Double:0"},
        {u"Cos", {Empty}, "Double:1"},
        {u"Sin", {Null}, "error 94"},
        {u"Tan", {Variant(u"x")}, "error 13"},
    });
    EXPECT_NEAR(Call(u"Atn", {Variant(1)}).DoubleValue() * 4, std::acos(-1.0), 1e-12);
    EXPECT_NEAR(Call(u"Cos", {Variant(u"-32768")}).DoubleValue(), 0.3729, 1e-4);
}

// The generator's numbers are part of what scripts observe: a template seeded with Rnd(-1)
// must produce the same sequence as it always has.
TEST(MathFunctionsTest, RndFollowsTheRuntimeSequence) {
    RuntimeState state;
    EXPECT_EQ(Call(u"Rnd", {Variant(0)}, state).SingleValue(), 327680.0f / 16777216.0f);
    float first = Call(u"Rnd", {}, state).SingleValue();
    EXPECT_FLOAT_EQ(first, 0.7055475f);
    EXPECT_EQ(Call(u"Rnd", {Variant(0)}, state).SingleValue(), first);
    EXPECT_FLOAT_EQ(Call(u"Rnd", {}, state).SingleValue(), 0.533424f);
    EXPECT_EQ(Call(u"Rnd", {Variant(-1)}, state).VarTypeCode(), 4);
    EXPECT_FLOAT_EQ(Call(u"Rnd", {Variant(-1)}, state).SingleValue(), 0.224007f);
    EXPECT_EQ(Call(u"Rnd", {Variant(-2)}, state).SingleValue(),
              Call(u"Rnd", {Variant(-2)}, state).SingleValue());
    EXPECT_NE(Call(u"Rnd", {Variant(-1)}, state).SingleValue(),
              Call(u"Rnd", {Variant(-2)}, state).SingleValue());
    EXPECT_EQ(Outcome(u"Rnd", {Null}, state), "error 94");

    // Randomize keeps part of the old seed: the same number repeats only after Rnd(-1).
    Call(u"Rnd", {Variant(-1)}, state);
    Call(u"Randomize", {Variant(123)}, state);
    float x = Call(u"Rnd", {}, state).SingleValue();
    Call(u"Randomize", {Variant(123)}, state);
    EXPECT_NE(Call(u"Rnd", {}, state).SingleValue(), x);
    Call(u"Rnd", {Variant(-1)}, state);
    Call(u"Randomize", {Variant(123)}, state);
    EXPECT_EQ(Call(u"Rnd", {}, state).SingleValue(), x);

    for (int i = 0; i < 1000; ++i) {
        float value = Call(u"Rnd", {}, state).SingleValue();
        ASSERT_GE(value, 0.0f);
        ASSERT_LT(value, 1.0f);
    }
}

TEST(MathFunctionsTest, TimerCountsSecondsSinceMidnight) {
    Variant timer = Call(u"Timer", {});
    ASSERT_EQ(timer.VarTypeCode(), 4);
    EXPECT_GE(timer.SingleValue(), 0.0f);
    EXPECT_LT(timer.SingleValue(), 86400.0f);
}

} // namespace
} // namespace qv::vbscript::testing
