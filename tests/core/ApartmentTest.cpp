#include "core/Apartment.h"

#include "core/QelKeyword.h"
#include "core/QelStatus.h"
#include "core/cRegistry.h"

#include "support/ApartmentFixture.h"

#include <string>
#include <thread>
#include <vector>

namespace qv {
namespace {

/// Upper-layer state as a layer would keep it in a slot; records its destruction.
struct RecordingSlot {
    std::vector<std::string>* log = nullptr;
    std::string name;
    ~RecordingSlot() {
        if (log != nullptr) {
            // A slot may still read the module state while it goes.
            log->push_back(name + (State().gProjErr.empty() ? "" : ":state"));
        }
    }
};
struct OtherSlot : RecordingSlot {};

class ApartmentStateTest : public test::ApartmentTest {};

TEST_F(ApartmentStateTest, ResetStartsAFreshApartment) {
    State().gProjErr = u"Quorvane: failed";
    State().gQuoteStart = u"[";
    GetStatus().ShowStatus(0, u"open");
    ApartmentSlot<int>() = 7;

    std::vector<std::string> log;
    ApartmentSlot<RecordingSlot>().log = &log;
    ApartmentSlot<RecordingSlot>().name = "first";
    ApartmentSlot<OtherSlot>().log = &log;
    ApartmentSlot<OtherSlot>().name = "second";

    ResetApartment();
    EXPECT_EQ(log, (std::vector<std::string>{"second:state", "first:state"}))
        << "last created, first destroyed";
    EXPECT_TRUE(State().gProjErr.empty());
    EXPECT_TRUE(State().gQuoteStart.empty());
    EXPECT_EQ(ApartmentSlot<int>(), 0);
    EXPECT_FALSE(State().gKeyword);
    EXPECT_FALSE(State().gStatus);
    EXPECT_FALSE(GetStatus().IsOpen());
    QelKeyword* created = &GetKeyword();
    EXPECT_EQ(created, State().gKeyword.Get()) << "created on first use and kept";
}

TEST_F(ApartmentStateTest, EachThreadHasItsOwnState) {
    State().gProductName = u"Quorvane";
    std::u16string seen = u"unset";
    std::thread([&seen] {
        seen = State().gProductName;
        State().gProductName = u"other";
        ResetApartment();
    }).join();
    EXPECT_EQ(seen, u"");
    EXPECT_EQ(State().gProductName, u"Quorvane");
}

} // namespace
} // namespace qv
