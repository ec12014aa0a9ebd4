/* The simulated controller's logic; see panel_model.h. */
#include "panel_model.h"

#define REPLY_REFUSED 0xA0

static void clear(unsigned char* p, unsigned n) {
    unsigned i;
    for (i = 0; i < n; ++i)
        p[i] = 0;
}

void pm_default_script(PanelScript* script) {
    script->ackCode = 0x90;
    script->refuseCommand = PM_REFUSE_NONE;
    script->refuseOccurrence = 0;
    script->refuseCode = 1;
    script->diagErrorCode = 0;
    script->deviceAbsent = 0;
    script->failIoctl = 0;
    script->replyMode = PM_REPLY_NORMAL;
    script->cutCommand = PM_REFUSE_ALL;
    script->cutOccurrence = 0;
    script->cutAfter = 2;
}

void pm_init(PanelModel* model) {
    clear((unsigned char*)model, sizeof *model);
    pm_default_script(&model->script);
}

int pm_request_is_valid(const unsigned char* r, unsigned length) {
    if (length == 0)
        return 0;
    switch (r[0]) {
    case PM_CMD_DIAG:
        return length == 2 && r[1] == 0;
    case PM_CMD_CAL_IN: {
        unsigned i;
        if (length != 10 || (r[1] != 0x1B && r[1] != 0x25))
            return 0;
        for (i = 2; i < 10; ++i) /* parameters travel as 7-bit groups */
            if (r[i] & 0x80)
                return 0;
        return 1;
    }
    case PM_CMD_CAL_OUT:
        return length == 5 && r[1] == 0 && r[2] == 0x20 && r[3] == 0 && r[4] == 0x20;
    case PM_CMD_CAL_POINT:
    case PM_CMD_ABORT:
        return length == 1;
    default:
        return 0;
    }
}

/* Whether a scripted choice of command (code, PM_REFUSE_ALL or PM_REFUSE_NONE) and occurrence
 * (0 for every one) applies to this request. */
static int script_selects(int command, int wantedOccurrence, unsigned code, unsigned occurrence) {
    if (command == PM_REFUSE_NONE)
        return 0;
    if (command != PM_REFUSE_ALL && (unsigned)command != code)
        return 0;
    return wantedOccurrence == 0 || (unsigned)wantedOccurrence == occurrence;
}

/* Builds the reply and returns how many of its bytes reach the caller. */
static unsigned build_reply(PanelModel* model, const unsigned char* request, unsigned length,
                            unsigned char reply[PM_REPLY_SIZE]) {
    const PanelScript* s = &model->script;
    unsigned code = length ? request[0] : 0;
    unsigned occurrence = length ? ++model->occurrences[code] : 0;
    int lost = model->calibrationLost && (code == PM_CMD_CAL_POINT || code == PM_CMD_CAL_OUT);
    clear(reply, PM_REPLY_SIZE);
    reply[1] = s->ackCode;
    if (!pm_request_is_valid(request, length) || lost ||
        script_selects(s->refuseCommand, s->refuseOccurrence, code, occurrence)) {
        reply[1] = REPLY_REFUSED;
        reply[2] = 1;
        reply[3] = s->refuseCode;
    } else if (code == PM_CMD_CAL_IN) {
        model->calibrationLost = 0; /* a new calibration begins */
    } else if (code == PM_CMD_DIAG && s->diagErrorCode > 0) {
        reply[2] = 1;
        reply[3] = (unsigned char)s->diagErrorCode;
    }
    if (s->replyMode == PM_REPLY_GARBAGE) {
        unsigned i;
        for (i = 0; i < PM_REPLY_SIZE; ++i)
            reply[i] = (unsigned char)(0x5A ^ (i * 37));
    }
    if (s->replyMode == PM_REPLY_NONE)
        return 0;
    if (s->replyMode == PM_REPLY_CUT &&
        script_selects(s->cutCommand, s->cutOccurrence, code, occurrence))
        return s->cutAfter < PM_REPLY_SIZE ? s->cutAfter : PM_REPLY_SIZE;
    return PM_REPLY_SIZE;
}

void pm_lose_calibration(PanelModel* model) {
    model->calibrationLost = 1;
}

static void keep_record(PanelModel* model, const unsigned char* request, unsigned length,
                        const unsigned char* reply, unsigned written, int failed) {
    PanelRecord* rec;
    unsigned i;
    if (model->recordCount++ >= PM_MAX_RECORDS)
        return;
    rec = &model->records[model->recordCount - 1];
    rec->length = length;
    for (i = 0; i < length && i < PM_MAX_REQUEST; ++i)
        rec->bytes[i] = request[i];
    for (i = 0; i < written; ++i)
        rec->reply[i] = reply[i];
    rec->replyLength = written;
    rec->ioctlFailed = failed;
}

int pm_exchange(PanelModel* model, const unsigned char* request, unsigned length,
                unsigned char* out, unsigned outSize, unsigned* written) {
    unsigned char reply[PM_REPLY_SIZE];
    unsigned n = build_reply(model, request, length, reply), i;
    if (n > outSize)
        n = outSize;
    for (i = 0; i < n; ++i)
        out[i] = reply[i];
    *written = n;
    keep_record(model, request, length, reply, n, model->script.failIoctl);
    return model->script.failIoctl ? 0 : 1;
}

unsigned pm_format_hex(const unsigned char* bytes, unsigned length, char* text) {
    static const char digits[] = "0123456789ABCDEF";
    unsigned i, n = 0;
    for (i = 0; i < length; ++i) {
        if (i)
            text[n++] = ' ';
        text[n++] = digits[bytes[i] >> 4];
        text[n++] = digits[bytes[i] & 15];
    }
    text[n] = 0;
    return n;
}
