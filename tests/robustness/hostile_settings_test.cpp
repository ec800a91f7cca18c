// The real Vyr.exe started on a hostile "Vyr.ini": garbage, a line of a megabyte, every extreme of a
// 32-bit number, values that are not numbers. It must start, go through whole switches (open, step,
// hover, click, commit, cancel) answering every command, and exit with code 0: no trap (the ubsan
// build traps on undefined behaviour), no crash, no hang. Where the values make no visible list
// (a width of 0, say), declining to show one is sane; where they are as good as the defaults, the
// switcher must open.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "hook/hook_contract.h"
#include "robustness/running_vyr.h"
#include "settings/settings_test_support.h"

namespace {

struct HostileFile {
    const char* name;
    std::string text;
    int width;  // of the list the values make, when it can be seen; 0: none need be shown
};

std::string randomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& b : bytes) {
        b = (char)(random() & 0xFF);
    }
    return bytes;
}

std::string allKeys(const std::string& value)
{
    return "[Mouse]\r\nEnable=" + value + "\r\n[Icon]\r\nSize=" + value + "\r\n[Window]\r\nWidth=" + value + "\r\n";
}

constexpr size_t MEGABYTE = 1 << 20;

std::vector<HostileFile> hostileFiles()
{
    return {
        {"BinaryGarbage", randomBytes(64 * 1024, 1), 300},
        {"GarbageAroundTheKeys", randomBytes(4096, 2) + "\r\n[Window]\r\nWidth=400\r\n" + randomBytes(4096, 3), 400},
        {"AMegabyteOfDigits", "[Window]\r\nWidth=" + std::string(MEGABYTE, '7') + "\r\n[Icon]\r\nSize=2\r\n", 0},
        {"AMegabyteSectionName", "[" + std::string(MEGABYTE, 'W') + "]\r\nWidth=1\r\n[Window]\r\nWidth=350\r\n", 350},
        {"IntMin", allKeys("-2147483648"), 0},
        {"IntMax", allKeys("2147483647"), 0},
        {"MinusOne", allKeys("-1"), 0},
        {"Zero", allKeys("0"), 0},
        {"HugeWidthAndIconScale", "[Icon]\r\nSize=1000\r\n[Window]\r\nWidth=100000\r\n", 0},
        {"BeyondThirtyTwoBits", "[Mouse]\r\nEnable=-99999999999\r\n[Icon]\r\nSize=4294967297\r\n"
                                "[Window]\r\nWidth=99999999999999999999\r\n", 0},
        {"NotNumbers", "[Mouse]\r\nEnable=yes\r\n[Icon]\r\nSize=big\r\n[Window]\r\nWidth=wide\r\n", 0},
        // An order, a show delay and a program key out of range or not numbers: the stacking order,
        // the delay held to 1000 ms (the list not shown at once) or none at all.
        {"OrderAndDelayOutOfRange", "[Window]\r\nOrder=-1\r\nShowDelay=99999\r\n[Keys]\r\nProgramWindows=-7\r\n", 0},
        {"OrderAndDelayNotNumbers", "[Window]\r\nOrder=abc\r\nShowDelay=abc\r\n", 300},
        {"NumbersWithTails", "[Mouse]\r\nEnable= 1x\r\n[Icon]\r\nSize=+2\r\n[Window]\r\nWidth=  320px\r\n", 320},
    };
}

class HostileSettings : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileSettings, TheProgramSwitchesAndExitsCleanly)
{
    ScratchDirectory folder;
    ASSERT_TRUE(writeTextFile(folder.settingsFile(), GetParam().text));
    RunningVyr program;
    ASSERT_TRUE(program.start(folder.path()));

    ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
    bool opened = program.shown();
    std::printf("%s: the switcher %s\n", GetParam().name, opened ? "opened" : "declined to open");
    if (GetParam().width != 0) {
        RECT rect = {};
        GetWindowRect(program.vyr->window(), &rect);
        EXPECT_TRUE(opened);
        EXPECT_EQ(rect.right - rect.left, GetParam().width) << "the file's width, read past the garbage";
    }
    // Hovering, stepping both ways, a press and a release on a row; then a commit and a cancel.
    for (int move = 0; move < 7; move++) {
        ASSERT_TRUE(program.command(WM_MOUSEMOVE, 0, MAKELPARAM(20, 10 + move * 17)));
    }
    for (UINT step : {WM_SWITCH_FORWARD, WM_SWITCH_STEP_BACK, WM_SWITCH_BACKWARD, WM_SWITCH_PROGRAM_WINDOWS}) {
        ASSERT_TRUE(program.command(step));
    }
    ASSERT_TRUE(program.command(WM_LBUTTONDOWN, 0, MAKELPARAM(20, 60)));
    ASSERT_TRUE(program.command(WM_LBUTTONUP, 0, MAKELPARAM(20, 60)));
    ASSERT_TRUE(program.command(WM_SWITCH_BACKWARD));
    ASSERT_TRUE(program.command(WM_SWITCH_COMMIT));
    ASSERT_TRUE(program.command(WM_SWITCH_FORWARD));
    ASSERT_TRUE(program.command(WM_SWITCH_CANCEL));
    EXPECT_FALSE(program.shown());
    EXPECT_TRUE(program.endsCleanly());
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettings, ::testing::ValuesIn(hostileFiles()),
                         [](const ::testing::TestParamInfo<HostileFile>& info) { return std::string(info.param.name); });

} // namespace
