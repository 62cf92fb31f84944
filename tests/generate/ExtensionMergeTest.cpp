#include "generate/internal/ExtensionMerge.h"

#include "GenerateFixture.h"

#include "template/QelControls.h"
#include "template/TemplateState.h"

namespace qv {
namespace {

class ExtensionMergeTest : public test::GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        CurrentTemplateState().extensionsFolder = Text(mTemp / "ext");
        Write(mTemp / "tpl" / "control.xml",
              "<Quorvane_Template version=\"6.0\">"
              "<control id=\"list\" type=\"table\" ifiles=\"list.htm\">"
              "<session type=\"key\" value=\"header\"/><session type=\"key\" value=\"footer\"/></control>"
              "<control id=\"view\" type=\"table\" ifiles=\"view.htm\"/>"
              "</Quorvane_Template>");
        mControls = automation::MakeRef<QelControls>();
        mScratch = automation::MakeRef<QelControls>();
        ASSERT_TRUE(mControls->LoadControls(Text(mTemp / "tpl" / "control.xml")));
    }

    void Extension(const std::string& name, const std::string& controls) {
        Write(mTemp / "ext" / name / "control.xml",
              "<Quorvane_Template version=\"6.0\">" + controls + "</Quorvane_Template>");
    }

    /// The control ids in order, each with its sessions and the extension they came from.
    std::vector<std::u16string> Summary() {
        std::vector<std::u16string> lines;
        for (std::int32_t position = 1; position <= mControls->Count(); ++position) {
            automation::Ref<QelControl> control = mControls->Item(automation::Variant(position));
            std::u16string line = control->CtrlID() + u"[" + control->CtrlExt() + u"]:";
            for (std::int32_t index = 1; index <= control->Sessions().Count(); ++index) {
                automation::Ref<QelSession> session = control->Sessions().Item(index);
                line += u" " + session->SessValue() + u"[" + session->SessExt() + u"]";
            }
            lines.push_back(line);
        }
        return lines;
    }

    automation::Ref<QelControls> mControls;
    automation::Ref<QelControls> mScratch;
};

TEST_F(ExtensionMergeTest, ExtensionsAddChangeAndDeleteInSequenceOrder) {
    Extension("Audit",
              "<control id=\"audit\" type=\"table\" action=\"add\"/>"
              "<control id=\"list\" action=\"change\">"
              "<session value=\"audit\" type=\"key\" action=\"add\" location=\"footer\"/>"
              "<session value=\"header\" action=\"delete\"/><session value=\"none\" action=\"change\"/>"
              "</control>"
              "<control id=\"missing\" action=\"change\"><session value=\"x\" action=\"add\"/></control>"
              "<control id=\"view\" action=\"Delete\"/>");
    Extension("Charts", "<control id=\"audit\" type=\"other\" action=\"add\"/>"
                        "<control id=\"chart\" type=\"other\" action=\"add\"/>"
                        "<control id=\"audit\" action=\"delete\"/>");
    MergeExtension(u"Audit", *mControls, *mScratch);
    MergeExtension(u"Charts", *mControls, *mScratch);
    MergeExtension(u"NoFile", *mControls, *mScratch); // no control file: nothing happens
    // Before the last session means at the end, as the session list places it.
    EXPECT_EQ(Summary(),
              (std::vector<std::u16string>{u"list[]: footer[] audit[Audit]", u"view[]:", u"chart[Charts]:"}));
    EXPECT_EQ(State().gProjErr, u"");
}

TEST_F(ExtensionMergeTest, ABrokenControlFileIsSkippedAndLeavesTheErrorTextAlone) {
    Write(mTemp / "ext" / "Broken" / "control.xml", "<Other><control id=\"x\" action=\"add\"/></Other>");
    MergeExtension(u"Broken", *mControls, *mScratch);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_EQ(mControls->Count(), 2);
    const std::vector<std::u16string> shown = mHost.Texts(host::HostCallKind::Message);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], u"Quorvane: Load extension control file " +
                            Text(mTemp / "ext" / "Broken" / "control.xml") + u" failed. Processing skipped!");
}

} // namespace
} // namespace qv
