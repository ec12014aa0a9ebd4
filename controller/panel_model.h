/* A simulated touch-panel controller: the far end of the device path.
 *
 * Plain C with no OS calls, so that the same model answers in-process in the host
 * simulation and inside the kernel-mode driver that Wine loads. It takes one request
 * (a few bytes), writes a 20-byte reply, and keeps a record of every request in order.
 * Its behaviour is scripted through PanelScript. */
#ifndef PANEL_MODEL_H
#define PANEL_MODEL_H

#ifdef __cplusplus
extern "C" {
#endif

#define PM_REPLY_SIZE 20
#define PM_MAX_REQUEST 16
#define PM_MAX_RECORDS 256

/* Command codes (first request byte). */
#define PM_CMD_ABORT 0x80
#define PM_CMD_CAL_IN 0x84
#define PM_CMD_CAL_OUT 0x85
#define PM_CMD_CAL_POINT 0x86
#define PM_CMD_DIAG 0x89

/* refuseCommand: no refusal, or refuse every command. */
#define PM_REFUSE_NONE (-1)
#define PM_REFUSE_ALL 0x100

/* replyMode */
#define PM_REPLY_NORMAL 0
#define PM_REPLY_CUT 1     /* only the first cutAfter bytes are written (see cutCommand) */
#define PM_REPLY_GARBAGE 2 /* byte 0 non-zero, the rest a fixed pattern */
#define PM_REPLY_NONE 3    /* nothing written at all */

typedef struct PanelScript {
    unsigned char ackCode;    /* 0x90 (default) or 0xD0 */
    int refuseCommand;        /* command code, PM_REFUSE_ALL or PM_REFUSE_NONE */
    int refuseOccurrence;     /* 0: every occurrence; N: only the Nth (1-based) */
    unsigned char refuseCode; /* reply byte 3 of a refusal */
    int diagErrorCode;        /* >0: DIAG answers 0x90 with byte 2 = 1, byte 3 = this */
    int deviceAbsent;         /* the device cannot be opened */
    int failIoctl;            /* the device-control call fails (reply still written) */
    int replyMode;            /* PM_REPLY_* */
    int cutCommand;           /* PM_REPLY_CUT: command code, or PM_REFUSE_ALL (default) */
    int cutOccurrence;        /* PM_REPLY_CUT: 0 every occurrence; N: only the Nth */
    unsigned cutAfter;        /* PM_REPLY_CUT: bytes written, 0 to PM_REPLY_SIZE */
} PanelScript;

typedef struct PanelRecord {
    unsigned char bytes[PM_MAX_REQUEST];
    unsigned length; /* as sent; bytes beyond PM_MAX_REQUEST are not kept */
    unsigned char reply[PM_REPLY_SIZE];
    unsigned replyLength; /* bytes written into the caller's buffer */
    int ioctlFailed;
} PanelRecord;

typedef struct PanelModel {
    PanelScript script;
    int calibrationLost;       /* reset while the machine slept: CAL-POINT and CAL-OUT are refused
                                  until a CAL-IN is acknowledged */
    unsigned occurrences[256]; /* per command code, counted from 1 */
    PanelRecord records[PM_MAX_RECORDS];
    unsigned recordCount; /* total requests seen; records[] keeps the first PM_MAX_RECORDS */
} PanelModel;

/* Default script: acknowledge the five commands (with 0x90) when their lengths and fixed
 * bytes are right, refuse anything else. */
void pm_default_script(PanelScript* script);
void pm_init(PanelModel* model);

/* The controller is reset (power lost while the machine slept): it forgets the calibration in
 * progress, and refuses CAL-POINT and CAL-OUT until the next acknowledged CAL-IN. */
void pm_lose_calibration(PanelModel* model);

/* One exchange. Writes at most outSize bytes of the reply into out and their count into
 * *written. Returns 1 when the device-control call succeeds, 0 when it fails. */
int pm_exchange(PanelModel* model, const unsigned char* request, unsigned length,
                unsigned char* out, unsigned outSize, unsigned* written);

/* Judges a well-formed request of the five known commands. */
int pm_request_is_valid(const unsigned char* request, unsigned length);

/* Formats "89 00" style hex into text (at least 3*length bytes); returns chars written. */
unsigned pm_format_hex(const unsigned char* bytes, unsigned length, char* text);

#ifdef __cplusplus
}
#endif

#endif
