#include "link/commands.h"

#include "link/area_params.h"
#include "link/error_report.h"
#include "screen/target_grid.h"
#include "settings/setup_dialog.h"

#include <cstring>

CommandBuffer commandBuffer = {{0}, 0};
unsigned char responseBuffer[kResponseSize] = {0};

namespace {

const char kDevicePath[] = "\\\\.\\PNLDRV";
constexpr win::DWORD kControlCode = 0x70000001;

// Reported when CAL-IN or CAL-OUT cannot reach the device; shown as the communication error.
constexpr int kCodeNoDevice = 50;
// Reported when CAL-IN or CAL-OUT is refused.
constexpr int kCodeRejected = 1;
// What the reply area holds where the driver wrote nothing.
constexpr unsigned char kUnwrittenReplyByte = 0xFF;

bool replyAcknowledges(const unsigned char* reply) {
    return reply[0] == 0 && (reply[1] == 0x90 || reply[1] == 0xD0) && reply[2] == 0;
}

// The failure reports of CAL-IN and CAL-OUT, which differ only in their caption.
int reportedResult(ExchangeOutcome outcome, win::HWND window, CommandCaption caption) {
    if (outcome == ExchangeAcknowledged)
        return 1;
    int code = outcome == ExchangeNoDevice ? kCodeNoDevice : kCodeRejected;
    reportControllerError(window, code, commandCaption(caption));
    return 0;
}

// CAL-IN's parameters travel as two 7-bit groups each, low group first.
void putParameter(unsigned char* out, int value) {
    out[0] = static_cast<unsigned char>(value % 128);
    out[1] = static_cast<unsigned char>(value / 128);
}

} // namespace

ExchangeOutcome exchangeCommand(const unsigned char* request, int length) {
    if (length < 1 || length > kCommandBufferSize)
        return ExchangeRefused;
    std::memcpy(commandBuffer.bytes, request, static_cast<size_t>(length));
    commandBuffer.length = length;
    // Only bytes this exchange wrote may count: a reply left over from an earlier command, or
    // the unwritten tail of one cut short, reads as a refusal (0xFF is no valid byte 0, 1
    // or 2), and a DIAG refusal without its code byte shows as a communication error.
    std::memset(responseBuffer, kUnwrittenReplyByte, sizeof responseBuffer);

    win::HANDLE device =
        win::CreateFileA(kDevicePath, 0, 0, nullptr, win::OPEN_EXISTING, 0, nullptr);
    if (device == win::INVALID_HANDLE_VALUE)
        return ExchangeNoDevice;
    win::DWORD returned = 0;
    win::BOOL delivered = win::DeviceIoControl(device, kControlCode, commandBuffer.bytes,
                                               static_cast<win::DWORD>(commandBuffer.length),
                                               responseBuffer, kResponseSize, &returned, nullptr);
    win::CloseHandle(device);
    // A failed call has no reply to judge, whatever the buffer holds.
    if (delivered && replyAcknowledges(responseBuffer))
        return ExchangeAcknowledged;
    return ExchangeRefused;
}

int runDiag(win::HWND window) {
    static const unsigned char kDiag[] = {0x89, 0x00};
    ExchangeOutcome outcome = exchangeCommand(kDiag, sizeof kDiag);
    if (outcome == ExchangeAcknowledged)
        return 1;
    if (outcome == ExchangeRefused)
        reportControllerError(window, responseBuffer[3], commandCaption(CaptionDiag));
    return 0;
}

int sendCalIn(win::HWND window) {
    computeAreaParameters(calibSettings.panelSizeId, calibSettings.cableDirId);
    unsigned char request[10];
    request[0] = 0x84;
    request[1] = static_cast<unsigned char>((targetGrid.rows << 3) | targetGrid.columns);
    putParameter(request + 2, areaParameters.xLow);
    putParameter(request + 4, areaParameters.xHigh);
    putParameter(request + 6, areaParameters.yLow);
    putParameter(request + 8, areaParameters.yHigh);
    return reportedResult(exchangeCommand(request, sizeof request), window, CaptionCalIn);
}

int sendCalPoint() {
    static const unsigned char kCalPoint[] = {0x86};
    return exchangeCommand(kCalPoint, sizeof kCalPoint) == ExchangeAcknowledged;
}

int sendCalOut(win::HWND window) {
    static const unsigned char kCalOut[] = {0x85, 0x00, 0x20, 0x00, 0x20};
    return reportedResult(exchangeCommand(kCalOut, sizeof kCalOut), window, CaptionCalOut);
}

int sendCalAbort() {
    static const unsigned char kCalAbort[] = {0x80};
    return exchangeCommand(kCalAbort, sizeof kCalAbort) == ExchangeAcknowledged;
}
