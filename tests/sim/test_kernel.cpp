// The simulated kernel: the touch-panel device, its control call, and the profile.
#include "platform/host/sim.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char* const kDevice = "\\\\.\\PNLDRV";
constexpr win::DWORD kControlCode = 0x70000001;

win::HANDLE openDevice(const char* path = kDevice, win::DWORD disposition = win::OPEN_EXISTING) {
    return win::CreateFileA(path, 0, 0, nullptr, disposition, 0, nullptr);
}

TEST(SimDevice, OpensOnlyTheDriversPathWithAValidDisposition) {
    sim::reset();
    EXPECT_EQ(openDevice(kDevice, 0), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim::lastError(), 87u) << "ERROR_INVALID_PARAMETER, device or not";
    EXPECT_EQ(openDevice("\\\\.\\PNLDRV2"), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(openDevice("PNLDRV"), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim::lastError(), 2u);
    EXPECT_EQ(sim::openDeviceHandles(), 0);

    win::HANDLE device = openDevice();
    ASSERT_NE(device, win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim::openDeviceHandles(), 1);
    EXPECT_EQ(sim::calls().back().d, static_cast<std::int64_t>(win::OPEN_EXISTING));
    EXPECT_EQ(sim::callsNamed({"CreateFileA"}).back(), "CreateFileA \\\\.\\PNLDRV");
    EXPECT_EQ(win::CloseHandle(device), win::TRUE);
    EXPECT_EQ(win::CloseHandle(device), win::FALSE);
    EXPECT_EQ(sim::openDeviceHandles(), 0);

    sim::controller().script.deviceAbsent = 1;
    EXPECT_EQ(openDevice(), win::INVALID_HANDLE_VALUE);
    sim::Config absent;
    absent.devicePresent = false;
    sim::reset(absent);
    EXPECT_EQ(openDevice(), win::INVALID_HANDLE_VALUE);
    EXPECT_EQ(sim::lastError(), 2u);
}

TEST(SimDevice, ControlCallsReachTheControllerModel) {
    sim::reset();
    win::HANDLE device = openDevice();
    unsigned char diag[] = {0x89, 0x00};
    unsigned char reply[20];
    std::memset(reply, 0xEE, sizeof reply);
    win::DWORD returned = 99;
    ASSERT_EQ(win::DeviceIoControl(device, kControlCode, diag, 2, reply, 20, &returned, nullptr),
              win::TRUE);
    EXPECT_EQ(returned, 20u);
    EXPECT_EQ(reply[1], 0x90);
    EXPECT_EQ(sim::requests(), std::vector<std::string>{"89 00"});
    EXPECT_EQ(sim::callsNamed({"DeviceIoControl"}),
              std::vector<std::string>{"DeviceIoControl 89 00"});

    EXPECT_EQ(win::DeviceIoControl(device, 0x70000002, diag, 2, reply, 20, &returned, nullptr),
              win::FALSE);
    sim::controller().script.failIoctl = 1;
    EXPECT_EQ(win::DeviceIoControl(device, kControlCode, diag, 2, reply, 20, &returned, nullptr),
              win::FALSE);
    win::CloseHandle(device);
    EXPECT_EQ(win::DeviceIoControl(device, kControlCode, diag, 2, reply, 20, &returned, nullptr),
              win::FALSE);
    EXPECT_EQ(sim::requests().size(), 2u) << "a wrong code or a closed handle never reaches it";
}

TEST(SimProfile, CopiesAtMostSizeMinusOneBytesAndAZero) {
    sim::Config config;
    config.hasLanguageValue = true;
    config.language = "ENU";
    sim::reset(config);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(win::GetProfileStringA("intl", "sLanguage", "", buffer, 3), 2u);
    EXPECT_EQ(std::string(buffer, 4), std::string("EN\0x", 4));
    EXPECT_EQ(win::GetProfileStringA("INTL", "slanguage", "", buffer, 8), 3u);
    EXPECT_STREQ(buffer, "ENU");
    EXPECT_EQ(win::GetProfileStringA("intl", "sLanguage", "", buffer, 1), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(win::GetProfileStringA("intl", "sCountry", "dflt  ", buffer, 8), 4u);
    EXPECT_STREQ(buffer, "dflt") << "trailing blanks of the default are dropped";

    sim::reset(); // no value
    EXPECT_EQ(win::GetProfileStringA("intl", "sLanguage", "JPN", buffer, 8), 3u);
    EXPECT_STREQ(buffer, "JPN");
    EXPECT_EQ(sim::callsNamed({"GetProfileStringA"}).back(), "GetProfileStringA intl sLanguage");
}

} // namespace
