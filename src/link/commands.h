// The conversation with the touch-panel controller behind \\.\PNLDRV.
#pragma once

#include "platform/platform.h"

enum ExchangeOutcome { ExchangeNoDevice, ExchangeRefused, ExchangeAcknowledged };

constexpr int kCommandBufferSize = 10;
constexpr int kResponseSize = 20;

struct CommandBuffer {
    unsigned char bytes[kCommandBufferSize];
    int length;
};
extern CommandBuffer commandBuffer;
extern unsigned char responseBuffer[kResponseSize];

ExchangeOutcome exchangeCommand(const unsigned char* request, int length);

int runDiag(win::HWND window);
int sendCalIn(win::HWND window);
int sendCalPoint();
int sendCalOut(win::HWND window);
int sendCalAbort();
