#include "core/QelStatus.h"

#include "core/Apartment.h"

#include "support/ApartmentFixture.h"

#include "platform/system/FileVersion.h"

#include "platform/automation/Conversion.h"

#include <string>
#include <vector>

namespace qv {
namespace {

using host::HostCallKind;

class QelStatusTest : public test::ApartmentTest {
protected:
    std::vector<HostCallKind> Kinds() const {
        std::vector<HostCallKind> kinds;
        for (const host::HostCall& call : mHost.Calls()) {
            kinds.push_back(call.kind);
        }
        return kinds;
    }
};

TEST_F(QelStatusTest, UpdatesReachTheHostOnlyWhileAWindowIsOpen) {
    QelStatus& status = GetStatus();
    status.DispStatus(u"before");
    status.SetStatus(10);
    status.CloseStatus();
    EXPECT_TRUE(mHost.Calls().empty()) << "nothing is shown without a window";
    EXPECT_FALSE(status.StatusIsCancelled());
    EXPECT_EQ(mHost.Count(HostCallKind::CancelQuery), 1u) << "the host is asked even without a window";

    mHost.ClearCalls();
    status.ShowStatus(0, FrameText(u"Quorvane - Loading Database..."));
    status.DispStatus(u"Orders");
    status.SetStatus(50);
    status.CloseStatus();
    status.CloseStatus();
    EXPECT_EQ(Kinds(),
              (std::vector<HostCallKind>{HostCallKind::ShowProgress, HostCallKind::ProgressInfo,
                                         HostCallKind::ProgressPercent, HostCallKind::CloseProgress}));
    EXPECT_EQ(mHost.Calls()[0].text, u"Quorvane - Loading Database...") << "the frame is taken off";
    EXPECT_EQ(mHost.Calls()[0].style, host::ProgressStyle::Standard);
    EXPECT_EQ(mHost.Calls()[1].text, u"Orders");
    EXPECT_EQ(mHost.Calls()[2].percent, 50);
}

TEST_F(QelStatusTest, ASecondWindowClosesTheFirst) {
    // Regression: showing a window while one was open left the first one behind.
    QelStatus& status = GetStatus();
    status.ShowStatus2(0, FrameText(u"first"));
    status.ShowStatus3(0, u"unframed");
    status.CloseStatus();
    EXPECT_EQ(Kinds(), (std::vector<HostCallKind>{HostCallKind::ShowProgress, HostCallKind::CloseProgress,
                                                  HostCallKind::ShowProgress, HostCallKind::CloseProgress}));
    EXPECT_EQ(mHost.Calls()[0].style, host::ProgressStyle::Busy);
    EXPECT_EQ(mHost.Calls()[2].style, host::ProgressStyle::Cancellable);
    EXPECT_EQ(mHost.Calls()[2].text, u"unframed");
    EXPECT_FALSE(status.IsOpen());
}

TEST_F(QelStatusTest, CancelComesFromTheHost) {
    mHost.CancelAtQuery(2);
    QelStatus& status = GetStatus();
    status.ShowStatus3(0, FrameText(u"Generating"));
    EXPECT_FALSE(status.StatusIsCancelled());
    EXPECT_TRUE(status.StatusIsCancelled());
}

TEST_F(QelStatusTest, VersionsAndBuiltinCode) {
    QelStatus& status = GetStatus();
    status.GetVer(u"C:\\Program Files\\Quorvane\\QELCLS60.DLL");
    const system::FileVersion version = system::LibraryVersion();
    EXPECT_EQ(status.mj1(), version.major);
    EXPECT_EQ(status.mj2(), version.minor);
    EXPECT_EQ(status.mn1(), version.build);
    EXPECT_EQ(status.mn2(), version.revision);
    status.GetVer(u"/bin/sh");
    EXPECT_EQ(status.mj1(), 0);
    EXPECT_EQ(status.mn2(), 0);
    EXPECT_EQ(status.GetSysCode(u"??"), u"");
    EXPECT_EQ(status.GetSysCode(u""), u"");
    // The code files become text with CRLF line ends; a longer key counts by its first two
    // characters.
    const std::u16string system = status.GetSysCode(u"VB");
    EXPECT_NE(system.find(u"\r\nFunction Include_File(sFile, sKind)\r\n"), std::u16string::npos);
    for (std::size_t at = system.find(u'\n'); at != std::u16string::npos; at = system.find(u'\n', at + 1)) {
        ASSERT_TRUE(at > 0 && system[at - 1] == u'\r') << "bare line feed at " << at;
    }
    EXPECT_EQ(system.substr(system.size() - 2), u"\r\n");
    EXPECT_EQ(status.GetSysCode(u"VBX"), system);
    EXPECT_NE(status.GetSysCode(u"VL").find(u"Function ValidateDatabase()\r\n"), std::u16string::npos);
    EXPECT_EQ(FrameText(u"abc"), std::u16string(u"\u0003abc"));
    EXPECT_EQ(UnframeText(FrameText(u"")), u"");
}

} // namespace
} // namespace qv
