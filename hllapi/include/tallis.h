/* libtallis: the WinHLLAPI entry points of the Corvina emulator.
 *
 * Every call reaches the running Corvina emulators of the calling user
 * through the per-user runtime folder ($CORVINA_RUNTIME_DIR, else
 * $XDG_RUNTIME_DIR/corvina/, else /tmp/corvina-<uid>/). Function numbers,
 * parameters and return codes are those of the HLLAPI standard; all four
 * parameters of hllapi and WinHLLAPI are passed by address. */
#ifndef TALLIS_H
#define TALLIS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define WHLLDESCRIPTION_LEN 127

typedef struct tagWHLLAPIDATA {
  uint16_t wVersion;
  char szDescription[WHLLDESCRIPTION_LEN + 1];
} WHLLAPIDATA;

/* Function numbers. */
#define HA_CONNECT_PS 1
#define HA_DISCONNECT_PS 2
#define HA_SENDKEY 3
#define HA_WAIT 4
#define HA_COPY_PS 5
#define HA_SEARCH_PS 6
#define HA_QUERY_CURSOR_LOC 7
#define HA_COPY_PS_TO_STR 8
#define HA_SET_SESSION_PARMS 9
#define HA_QUERY_SESSIONS 10
#define HA_RESERVE 11
#define HA_RELEASE 12
#define HA_COPY_OIA 13
#define HA_QUERY_FIELD_ATTR 14
#define HA_COPY_STR_TO_PS 15
#define HA_PAUSE 18
#define HA_QUERY_SYSTEM 20
#define HA_RESET_SYSTEM 21
#define HA_QUERY_SESSION_STATUS 22
#define HA_START_HOST_NOTIFY 23
#define HA_QUERY_HOST_UPDATE 24
#define HA_STOP_HOST_NOTIFY 25
#define HA_SEARCH_FIELD 30
#define HA_FIND_FIELD_POS 31
#define HA_FIND_FIELD_LEN 32
#define HA_COPY_STR_TO_FIELD 33
#define HA_COPY_FIELD_TO_STR 34
#define HA_SET_CURSOR 40
#define HA_START_KEY_INTERCEPT 50
#define HA_GET_KEY 51
#define HA_POST_INTERCEPT_STATUS 52
#define HA_STOP_KEY_INTERCEPT 53
#define HA_SEND_FILE 90
#define HA_RECEIVE_FILE 91
#define HA_CONVERT_POS_ROW_COL 99

/* Return codes. */
#define HARC_SUCCESS 0
#define HARC_BAD_PS_ID 1
#define HARC_BAD_PARM 2
#define HARC_FT_ENDED 3
#define HARC_BUSY 4
#define HARC_LOCKED 5
#define HARC_TRUNCATION 6
#define HARC_BAD_PS_POS 7
#define HARC_NO_PRIOR_START 8
#define HARC_SYSTEM_ERROR 9
#define HARC_UNSUPPORTED 10
#define HARC_UNAVAILABLE 11
#define HARC_BAD_KEYSTROKE 20
#define HARC_OIA_UPDATE 21
#define HARC_PS_UPDATE 22
#define HARC_BOTH_UPDATE 23
#define HARC_NO_FIELD 24
#define HARC_NO_KEYSTROKES 25
#define HARC_HOST_EVENT 26
#define HARC_FT_TIMEOUT 27
#define HARC_FIELD_LEN_ZERO 28

/* The classic entry: the same as WinHLLAPI. */
void hllapi(uint16_t *function, char *data, uint16_t *length, uint16_t *returnCode);
/* Runs the function; its result goes into *returnCode. */
void WinHLLAPI(uint16_t *function, char *data, uint16_t *length, uint16_t *returnCode);
/* Fills in the record; 0, or 0xF001 / 0xF004 for a version not supported. */
int WinHLLAPIStartup(uint16_t versionRequested, WHLLAPIDATA *data);
/* Always 1. */
int WinHLLAPICleanup(void);

#ifdef __cplusplus
}
#endif

#endif /* TALLIS_H */
