#pragma once

#include "support/TempDir.h"

#include "core/Apartment.h"

#include "platform/host/ScriptedHost.h"
#include "platform/registry/Registry.h"
#include "platform/system/Paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qv::test {

/// Base of the fixtures of the layers from core up: every test starts with a fresh apartment
/// whose registry hives lie in a temporary folder (empty until the test writes them) and whose
/// host is a scripted host that records every call and fails the test on an unexpected
/// question. Header-only, so that only test programs that use it link core.
class ApartmentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetApartment();
        UseRegistry(std::make_unique<registry::Registry>(mTemp / "user.reg", mTemp / "machine.reg"));
        mHost.SetFailureHandler([](const std::string& failure) { ADD_FAILURE() << failure; });
        SetCurrentHost(&mHost);
    }

    void TearDown() override { ResetApartment(); }

    /// A path in the temporary folder as library text.
    std::u16string TempPath(const std::string& name) const { return system::FromNativePath(mTemp / name); }

    TempDir mTemp;
    host::ScriptedHost mHost;
};

} // namespace qv::test
