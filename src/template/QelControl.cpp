#include "template/QelControl.h"

#include "template/internal/LateBound.h"

#include "core/VbText.h"

#include "platform/xml/Node.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"

#include <optional>

namespace qv {

using automation::Ref;
using automation::Variant;

const automation::ClassInfo& QelControl::GetClassInfo() const {
    using namespace automation;
    using C = QelControl;
    static const ClassInfo info(u"QelControl",
                                {
                                    Method<&C::SessionsMember>(u"Sessions"),
                                    Property<&C::CtrlID, &C::SetCtrlID>(u"CtrlID"),
                                    Property<&C::CtrlType, &C::SetCtrlType>(u"CtrlType"),
                                    Property<&C::CtrlOFile, &C::SetCtrlOFile>(u"CtrlOFile"),
                                    Property<&C::CtrlOExt, &C::SetCtrlOExt>(u"CtrlOExt"),
                                    Property<&C::CtrlOFolder, &C::SetCtrlOFolder>(u"CtrlOFolder"),
                                    Property<&C::CtrlIFiles, &C::SetCtrlIFiles>(u"CtrlIFiles"),
                                    Property<&C::CtrlIFolder, &C::SetCtrlIFolder>(u"CtrlIFolder"),
                                    Property<&C::CtrlCond, &C::SetCtrlCond>(u"CtrlCond"),
                                    Property<&C::CtrlTagExt, &C::SetCtrlTagExt>(u"CtrlTagExt"),
                                    Property<&C::CtrlParm, &C::SetCtrlParm>(u"CtrlParm"),
                                    Property<&C::CtrlSpace, &C::SetCtrlSpace>(u"CtrlSpace"),
                                    Property<&C::CtrlGen, &C::SetCtrlGen>(u"CtrlGen"),
                                    Property<&C::CtrlExt, &C::SetCtrlExt>(u"CtrlExt"),
                                    Property<&C::CtrlAction, &C::SetCtrlAction>(u"CtrlAction"),
                                    Property<&C::CtrlOverwrite, &C::SetCtrlOverwrite>(u"CtrlOverwrite"),
                                    Method<&C::LoadMember>(u"Load"),
                                });
    return info;
}

QelSessions& QelControl::Sessions() {
    if (!mSessions) {
        mSessions = automation::MakeRef<QelSessions>();
    }
    return *mSessions;
}

bool ParseControlFlag(std::u16string_view text, bool otherwise) {
    const std::u16string word = automation::ToLower(TrimBlanks(text));
    if (word == u"true") {
        return true;
    }
    if (word == u"false") {
        return false;
    }
    if (std::optional<double> number = automation::ParseNumber(word)) {
        return *number != 0.0;
    }
    return otherwise;
}

std::u16string QelControl::NormalizeFolder(std::u16string_view folder) {
    std::u16string result(folder);
    for (char16_t& c : result) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    if (!result.empty() && result.front() == u'\\') {
        result.erase(0, 1);
    }
    if (!result.empty() && result.back() != u'\\') {
        result.push_back(u'\\');
    }
    return result;
}

bool QelControl::Load(const xml::Element& xmlControl) {
    mCtrlCond.clear();
    mCtrlSpace = true;
    mCtrlOverwrite = true;
    for (xml::Attribute& attribute : xmlControl.Attributes()) {
        const std::u16string name = automation::ToLower(attribute.name);
        std::u16string& value = attribute.value;
        if (name == u"id") {
            mCtrlID = std::move(value);
        } else if (name == u"type") {
            mCtrlType = std::move(value);
        } else if (name == u"ifiles") {
            mCtrlIFiles = std::move(value);
        } else if (name == u"ifolder") {
            mCtrlIFolder = NormalizeFolder(value);
        } else if (name == u"ofile") {
            mCtrlOFile = std::move(value);
        } else if (name == u"oext") {
            mCtrlOExt = std::move(value);
        } else if (name == u"ofolder") {
            mCtrlOFolder = NormalizeFolder(value);
        } else if (name == u"cond") {
            mCtrlCond = std::move(value);
        } else if (name == u"tagext") {
            mCtrlTagExt = std::move(value);
        } else if (name == u"parm") {
            mCtrlParm = std::move(value);
        } else if (name == u"space") {
            // A value that is no flag keeps the default rather than rejecting the whole file.
            mCtrlSpace = ParseControlFlag(value, true);
        } else if (name == u"extension") {
            mCtrlExt = std::move(value);
        } else if (name == u"action") {
            mCtrlAction = std::move(value);
        } else if (name == u"overwrite") {
            mCtrlOverwrite = ParseControlFlag(value, true);
        }
    }
    return Sessions().Load(xmlControl);
}

Variant QelControl::LoadMember(const Variant&) {
    internal::RaiseNotAnXmlElement();
}

} // namespace qv
