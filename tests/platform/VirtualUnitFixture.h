#pragma once
// Every virtual-unit test starts from the load state of the module pair.

#include "VirtualModules.h"
#include "tests/support/VirtualUnit.h"

#include <array>
#include <cstdint>

namespace testsupport {

using Report = std::array<uint8_t, 252>;

class VirtualUnitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        exports = loadModuleExports();
        control = VirtualUnit();
    }

    void SetUp() override {
        ASSERT_NE(exports.hid, nullptr) << loadError();
        ASSERT_TRUE(control.complete());
        control.Reset();
    }

    // The path of the only plugged unit after a reset.
    static std::string unitPath() {
        const auto list = listInterfaces(exports);
        return list.empty() ? std::string{} : list.front().path;
    }

    static Report readReport(HANDLE h) {
        Report r{};
        EXPECT_TRUE(exports.HidD_GetFeature(h, r.data(), r.size())) << moduleError();
        return r;
    }

    static void writeReport(HANDLE h, Report r) {
        r[0] = 0;
        EXPECT_TRUE(exports.HidD_SetFeature(h, r.data(), r.size())) << moduleError();
    }

    inline static ModuleExports exports;
    inline static virtualunit::VirtualUnitControl control;
};

} // namespace testsupport
