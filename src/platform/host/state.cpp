// The simulated process as a whole: its reset, the record of calls, and the plain read-outs.
#include "platform/host/sim_state.h"

#include <cstdio>

namespace sim {
namespace detail {

State* currentState = nullptr;

namespace {

void freshState(const Config& config) {
    // The same object is reused, so that a reset from inside a callback of the simulation
    // leaves no reference dangling. The record of calls and the screen keep their memory,
    // which spares a long series of runs (the fuzzer's) allocating it again each time.
    if (!currentState) {
        currentState = new State();
    } else {
        std::vector<Call> calls;
        std::vector<win::COLORREF> pixels;
        calls.swap(currentState->calls);
        pixels.swap(currentState->pixels);
        calls.clear();
        *currentState = State();
        currentState->calls.swap(calls);
        currentState->pixels.swap(pixels);
    }
    currentState->config = config;
    pm_init(&currentState->model);
    currentState->cursorCounter = config.cursorCounter;
    resetScreen();
}

} // namespace

State& firstState() {
    freshState(Config());
    return *currentState;
}

std::uintptr_t newHandle() {
    // Never reset, so that a handle kept from an earlier simulated process matches nothing.
    static std::uintptr_t next = 0x01000000;
    next += 4;
    return next;
}

Call& record(const char* name, std::string_view text, std::int64_t a, std::int64_t b,
             std::int64_t c, std::int64_t d, std::string bytes) {
    Call& call = state().calls.emplace_back();
    call.name = name;
    call.a = a;
    call.b = b;
    call.c = c;
    call.d = d;
    call.bytes = std::move(bytes);
    if (!state().config.callText)
        return call;
    call.text.reserve(call.name.size() + 1 + text.size());
    call.text.assign(call.name);
    if (!text.empty())
        call.text.append(" ").append(text);
    return call;
}

void noteError(const std::string& message) {
    state().errors.push_back(message);
}

std::string hex(std::uint64_t value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string messageHex(win::UINT message) {
    return hex(message, 4);
}

} // namespace detail

using detail::state;

void reset(const Config& config) {
    detail::freshState(config);
}

const Config& config() {
    return state().config;
}

const std::vector<std::string>& errors() {
    return state().errors;
}

win::HINSTANCE programInstance() {
    return reinterpret_cast<win::HINSTANCE>(static_cast<std::uintptr_t>(0x00400000));
}

win::DWORD lastError() {
    return state().lastError;
}

PanelModel& controller() {
    return state().model;
}

std::vector<std::string> requests() {
    const PanelModel& model = state().model;
    std::vector<std::string> out;
    unsigned kept = model.recordCount < PM_MAX_RECORDS ? model.recordCount : PM_MAX_RECORDS;
    for (unsigned i = 0; i < kept; ++i) {
        const PanelRecord& r = model.records[i];
        unsigned length = r.length < PM_MAX_REQUEST ? r.length : PM_MAX_REQUEST;
        char text[3 * PM_MAX_REQUEST + 1];
        pm_format_hex(r.bytes, length, text);
        out.push_back(text);
    }
    return out;
}

bool starved() {
    return state().starved;
}

const std::vector<MessageBoxRecord>& messageBoxes() {
    return state().boxes;
}

void whileNextBoxIsUp(std::function<void()> fn) {
    state().whileBoxUp.push_back(std::move(fn));
}

const std::vector<OpenDialog>& dialogs() {
    return state().dialogs;
}

size_t pendingDialogScripts() {
    return state().dialogScripts.size();
}

const std::vector<TextRecord>& texts() {
    return state().texts;
}

const std::vector<Call>& calls() {
    return state().calls;
}

std::vector<std::string> callsNamed(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (const Call& call : state().calls)
        for (const std::string& name : names)
            if (call.name == name) {
                out.push_back(call.text);
                break;
            }
    return out;
}

int cursorCounter() {
    return state().cursorCounter;
}

void setCursorCounter(int value) {
    state().cursorCounter = value;
}

int openDrawingContexts() {
    int n = 0;
    for (const detail::DrawingContext& dc : state().dcs)
        n += dc.paint ? 0 : 1;
    return n;
}

int openPaints() {
    int n = 0;
    for (const detail::DrawingContext& dc : state().dcs)
        n += dc.paint ? 1 : 0;
    return n;
}

int openDeviceHandles() {
    return static_cast<int>(state().devices.size());
}

const std::vector<WindowClassRecord>& windowClasses() {
    return state().classes;
}

} // namespace sim
