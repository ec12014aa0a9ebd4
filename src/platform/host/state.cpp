// The simulated process as a whole: its reset, the record of calls, and the plain read-outs.
#include "platform/host/sim_state.h"

#include <cstdio>

namespace sim {
namespace detail {

namespace {

State* current = nullptr;

void freshState(const Config& config) {
    // The same object is reused, so that a reset from inside a callback of the simulation
    // leaves no reference dangling.
    if (!current)
        current = new State();
    else
        *current = State();
    current->config = config;
    pm_init(&current->model);
    current->cursorCounter = config.cursorCounter;
    resetScreen();
}

} // namespace

State& state() {
    if (!current)
        freshState(Config());
    return *current;
}

std::uintptr_t newHandle() {
    // Never reset, so that a handle kept from an earlier simulated process matches nothing.
    static std::uintptr_t next = 0x01000000;
    next += 4;
    return next;
}

Call& record(const char* name, std::string text, std::int64_t a, std::int64_t b, std::int64_t c,
             std::int64_t d, std::string bytes) {
    Call call;
    call.name = name;
    call.a = a;
    call.b = b;
    call.c = c;
    call.d = d;
    call.bytes = std::move(bytes);
    call.text = text.empty() ? call.name : call.name + " " + text;
    std::vector<Call>& calls = state().calls;
    calls.push_back(std::move(call));
    return calls.back();
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
