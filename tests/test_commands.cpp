// The controller commands: request bytes, calibration-area parameters, the acknowledgement
// rule and what each command reports when it fails.
#include "test_support.h"

#include "link/area_params.h"
#include "link/commands.h"
#include "screen/target_grid.h"
#include "settings/language.h"
#include "settings/setup_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct AreaCase {
    int panel, cable;
    int xLow, xHigh, yLow, yHigh;
};

// Every panel size with every cable direction.
const AreaCase kAreaCases[] = {
    {10, 30, 213, 3828, 278, 3817}, {10, 31, 278, 3817, 267, 3882}, {10, 32, 267, 3882, 278, 3817},
    {10, 33, 278, 3817, 213, 3828}, {11, 30, 243, 3790, 316, 3779}, {11, 31, 316, 3779, 305, 3852},
    {11, 32, 305, 3852, 316, 3779}, {11, 33, 316, 3779, 243, 3790}, {12, 30, 291, 3729, 374, 3721},
    {12, 31, 374, 3721, 366, 3804}, {12, 32, 366, 3804, 374, 3721}, {12, 33, 374, 3721, 291, 3729},
    {13, 30, 172, 3858, 243, 3817}, {13, 31, 243, 3817, 237, 3923}, {13, 32, 237, 3923, 278, 3852},
    {13, 33, 278, 3852, 172, 3858},
};

// The CAL-IN request as the controller expects it: each parameter as its low seven bits,
// then the bits above them.
std::string expectedCalIn(int gridByte, const AreaCase& c) {
    char text[64];
    int v[] = {c.xLow, c.xHigh, c.yLow, c.yHigh};
    std::snprintf(text, sizeof text, "84 %02X %02X %02X %02X %02X %02X %02X %02X %02X", gridByte,
                  v[0] & 0x7F, v[0] >> 7, v[1] & 0x7F, v[1] >> 7, v[2] & 0x7F, v[2] >> 7,
                  v[3] & 0x7F, v[3] >> 7);
    return text;
}

class Commands : public ::testing::Test {
  protected:
    void SetUp() override { startFreshProcess(); }
};

TEST_F(Commands, AreaParametersAndTheirEncodingForEveryPanelAndCable) {
    for (const AreaCase& c : kAreaCases) {
        SCOPED_TRACE(testing::Message() << "panel " << c.panel << " cable " << c.cable);
        computeAreaParameters(c.panel, c.cable);
        EXPECT_EQ(areaParameters.xLow, c.xLow);
        EXPECT_EQ(areaParameters.xHigh, c.xHigh);
        EXPECT_EQ(areaParameters.yLow, c.yLow);
        EXPECT_EQ(areaParameters.yHigh, c.yHigh);

        calibSettings.panelSizeId = c.panel;
        calibSettings.cableDirId = c.cable;
        size_t before = sentRequests().size();
        EXPECT_EQ(sendCalIn(nullptr), 1);
        ASSERT_EQ(sentRequests().size(), before + 1);
        EXPECT_EQ(sentRequests().back(), expectedCalIn(0x1B, c));
    }
}

TEST_F(Commands, CalInCarriesTheGridShape) {
    EXPECT_EQ(sendCalIn(nullptr), 1);
    EXPECT_EQ(sentRequests().back(), kCalInDefault);

    configureGrid(21);
    calibSettings.panelSizeId = 10;
    calibSettings.cableDirId = 32;
    EXPECT_EQ(sendCalIn(nullptr), 1);
    EXPECT_EQ(sentRequests().back(), "84 25 0B 02 2A 1E 16 02 69 1D");
}

TEST_F(Commands, FixedRequests) {
    EXPECT_EQ(runDiag(nullptr), 1);
    EXPECT_EQ(sendCalPoint(), 1);
    EXPECT_EQ(sendCalOut(nullptr), 1);
    EXPECT_EQ(sendCalAbort(), 1);
    EXPECT_EQ(sentRequests(), (std::vector<std::string>{kDiag, kCalPoint, kCalOut, kCalAbort}));
    // The device is opened and closed for every command.
    EXPECT_EQ(sim::openDeviceHandles(), 0);
    EXPECT_EQ(sim::callsNamed({"CreateFileA"}).size(), 4u);
    EXPECT_EQ(sim::callsNamed({"CloseHandle"}).size(), 4u);
}

TEST_F(Commands, AcknowledgementRule) {
    sim::controller().script.ackCode = 0xD0;
    EXPECT_EQ(sendCalPoint(), 1) << "0xD0 acknowledges like 0x90";

    sim::controller().script.ackCode = 0x91;
    EXPECT_EQ(sendCalPoint(), 0) << "any other reply code refuses";

    sim::controller().script.ackCode = 0x90;
    sim::controller().script.diagErrorCode = 12; // 0x90 but byte 2 set
    EXPECT_EQ(runDiag(nullptr), 0);
    EXPECT_EQ(responseBuffer[1], 0x90);

    sim::controller().script.diagErrorCode = 0;
    sim::controller().script.replyMode = PM_REPLY_GARBAGE; // byte 0 non-zero
    EXPECT_EQ(sendCalPoint(), 0);
}

TEST_F(Commands, AStaleAcknowledgementNeverPassesForANewCommand) {
    EXPECT_EQ(sendCalPoint(), 1);
    // The next reply writes nothing (or only two bytes): the earlier acknowledgement must not
    // be judged again.
    sim::controller().script.replyMode = PM_REPLY_NONE;
    EXPECT_EQ(sendCalPoint(), 0);
    sim::controller().script.replyMode = PM_REPLY_NORMAL;
    EXPECT_EQ(sendCalPoint(), 1);
    sim::controller().script.diagErrorCode = 17;
    EXPECT_EQ(runDiag(nullptr), 0);
    // A DIAG reply that writes nothing after a refusal must not report the old error code.
    sim::controller().script.replyMode = PM_REPLY_NONE;
    EXPECT_EQ(runDiag(nullptr), 0);
    ASSERT_EQ(sim::messageBoxes().size(), 2u);
    EXPECT_EQ(sim::messageBoxes()[0].text, toShiftJis("サンプリングデータエラー"));
    EXPECT_EQ(sim::messageBoxes()[1].text, toShiftJis("通信エラー"));
}

TEST_F(Commands, AReplyCutShortNeverAcknowledges) {
    // Only bytes the driver wrote count; the acknowledgement rule reads bytes 0 to 2, and a
    // DIAG refusal reads its code from byte 3.
    struct Cut {
        unsigned written;
        int pointAcknowledged, diagAcknowledged;
    };
    const Cut kCuts[] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 1, 0}};
    sim::controller().script.replyMode = PM_REPLY_CUT;
    sim::controller().script.cutCommand = PM_CMD_CAL_IN; // none of the ones below, yet
    sim::controller().script.diagErrorCode = 12;         // the whole reply would be 00 90 01 0C
    for (const Cut& cut : kCuts) {
        SCOPED_TRACE(testing::Message() << cut.written << " bytes written");
        sim::controller().script.cutAfter = cut.written;
        EXPECT_EQ(sendCalPoint(), 1); // an earlier acknowledgement is in the reply area ...
        sim::controller().script.cutCommand = PM_CMD_CAL_POINT;
        EXPECT_EQ(sendCalPoint(), cut.pointAcknowledged); // ... and must not pass for this one
        sim::controller().script.cutCommand = PM_CMD_DIAG;
        size_t boxes = sim::messageBoxes().size();
        EXPECT_EQ(runDiag(nullptr), cut.diagAcknowledged);
        ASSERT_EQ(sim::messageBoxes().size(), boxes + 1);
        EXPECT_EQ(sim::messageBoxes().back().text, toShiftJis("通信エラー"))
            << "the code byte never arrived";
        sim::controller().script.cutCommand = PM_CMD_CAL_IN;
    }
}

TEST_F(Commands, AFailedDeviceCallCountsAsRefused) {
    // The driver fails the call although it wrote an acknowledging reply.
    sim::controller().script.failIoctl = 1;
    EXPECT_EQ(sendCalPoint(), 0);
    EXPECT_EQ(sendCalAbort(), 0);
    EXPECT_EQ(sendCalOut(nullptr), 0);
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::openDeviceHandles(), 0);
}

TEST_F(Commands, FailureReportsOfEachCommand) {
    uiLanguage = LanguageEnglish;

    sim::controller().script.diagErrorCode = 12;
    EXPECT_EQ(runDiag(nullptr), 0);
    sim::controller().script.diagErrorCode = 0;

    sim::controller().script.refuseCommand = PM_REFUSE_ALL;
    EXPECT_EQ(sendCalIn(nullptr), 0);
    EXPECT_EQ(sendCalOut(nullptr), 0);
    EXPECT_EQ(sendCalPoint(), 0); // silent
    EXPECT_EQ(sendCalAbort(), 0); // silent

    const auto& boxes = sim::messageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, "DIAG command");
    EXPECT_EQ(boxes[0].text, "Panel Voltage error");
    EXPECT_EQ(boxes[1].caption, " CAL-IN command ");
    EXPECT_EQ(boxes[1].text, "Command is rejected");
    EXPECT_EQ(boxes[2].caption, "CAL-OUT command ");
    EXPECT_EQ(boxes[2].text, "Command is rejected");
    for (const auto& box : boxes)
        EXPECT_EQ(box.type, win::MB_OK);
}

TEST_F(Commands, WithoutTheDeviceOnlyCalInAndCalOutSpeak) {
    sim::controller().script.deviceAbsent = 1;
    uiLanguage = LanguageEnglish;
    EXPECT_EQ(runDiag(nullptr), 0);
    EXPECT_EQ(sendCalPoint(), 0);
    EXPECT_EQ(sendCalAbort(), 0);
    EXPECT_TRUE(sim::messageBoxes().empty());

    EXPECT_EQ(sendCalIn(nullptr), 0);
    EXPECT_EQ(sendCalOut(nullptr), 0);
    ASSERT_EQ(sim::messageBoxes().size(), 2u);
    EXPECT_EQ(sim::messageBoxes()[0].text, "Communication error ");
    EXPECT_EQ(sim::messageBoxes()[0].caption, " CAL-IN command ");
    EXPECT_EQ(sim::messageBoxes()[1].caption, "CAL-OUT command ");
    EXPECT_TRUE(sentRequests().empty());
    // The device path is opened as an existing device; creation disposition 0 is refused
    // by the platform.
    for (const sim::Call& call : sim::calls()) {
        if (call.name == "CreateFileA") {
            EXPECT_EQ(call.d, static_cast<std::int64_t>(win::OPEN_EXISTING));
        }
    }
}

TEST_F(Commands, JapaneseDiagReport) {
    sim::controller().script.diagErrorCode = 12;
    EXPECT_EQ(runDiag(nullptr), 0);
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].caption, toShiftJis("診断コマンド"));
    EXPECT_EQ(sim::messageBoxes()[0].text, toShiftJis("パネル電圧エラー"));
}

} // namespace
