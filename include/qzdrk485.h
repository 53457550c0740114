/* Host interface of the Vorlan RK/RKm/VL2 line driver (qzdrk485).
 *
 * The host loads the library and calls only these functions, cdecl, with
 * undecorated names. Texts are Windows-1250. None of them raises or lets a
 * failure reach the host. */
#ifndef QZDRK485_H
#define QZDRK485_H

#include <stdint.h>

#if defined(_WIN32)
#define QZ_CALL __cdecl
#if defined(QZ_BUILDING_DRIVER)
#define QZ_EXPORT __declspec(dllexport)
#else
#define QZ_EXPORT
#endif
#else
#define QZ_CALL
#define QZ_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DriverHandle DriverHandle; /* opaque to the host */

/* The host's value record: a type code and eight data bytes (12 bytes). */
typedef struct HostValue {
  uint32_t TypeCode;
  uint8_t ValueBytes[8];
} HostValue;

typedef struct QueryReply {
  uint32_t Kind;
  char *Text;
} QueryReply;

QZ_EXPORT int32_t QZ_CALL Version(void);
QZ_EXPORT uint8_t QZ_CALL Check(void);
QZ_EXPORT int32_t QZ_CALL GetDriverInfo(int32_t size, char *text);
/* QueryProc answers two queries; any other call leaves the reply alone.
 *
 * code 11, name "GetVersion", reply->Kind 11: copies the driver's identity
 * text (at most 33 characters and a NUL) into reply->Text.
 *
 * code 12, name "GetWindow" (exact, case-sensitive), h an instance: the
 * status window's contents as text, for hosts that show it themselves (on
 * Windows the driver's own window TDrvDialog shows them anyway).
 * reply->Kind is the capacity of reply->Text in bytes (0: nothing is
 * written); the driver writes at most Kind - 1 bytes and a NUL, cutting the
 * text where it must. The text is one line per item, "key<TAB>value<LF>",
 * in this order:
 *   caption  the window caption           name     caption of LabelName
 *   version  caption of LabelVersion      visible  1 or 0
 *   enabled  1 or 0                       state    normal or minimized
 *   bounds   left top width height, as DriverProc code 5 set them; -1 -1
 *            for the left and top of a window still centred on the screen
 *   event    one line per event-list line, oldest first (at most 12)
 *   status   six lines: the cycle times, the pending requests, the message
 *            counters, the log, the port and the memory in use
 * Values are Windows-1250; a TAB, CR or LF inside a value becomes a blank.
 * Before Init and after Done the reply is an empty text. */
QZ_EXPORT void QZ_CALL QueryProc(DriverHandle *h, uint32_t code, const char *name, void *unused,
                                 QueryReply *reply);
QZ_EXPORT DriverHandle *QZ_CALL MakeDriver(void);
/* message: the host's 256-byte buffer; on entry the host's name for the
 * driver, on failure the reason. */
QZ_EXPORT uint8_t QZ_CALL Init(DriverHandle *h, int32_t nameLength, const char *name, void *unused4,
                               char *message, uint32_t accessLevel, void *u7, void *u8, void *u9);
QZ_EXPORT void QZ_CALL Done(DriverHandle *h);
QZ_EXPORT void QZ_CALL DisposeDriver(DriverHandle *h);
QZ_EXPORT void QZ_CALL DriverProc(DriverHandle *h, uint32_t code, int32_t a, int32_t b, int32_t c,
                                  int32_t d);
QZ_EXPORT uint8_t QZ_CALL BufferInfo(DriverHandle *h, uint32_t channel, uint8_t typeCode,
                                     uint32_t size);
QZ_EXPORT void QZ_CALL SetBufferAddr(DriverHandle *h, uint32_t channel, void *buffer);
QZ_EXPORT void QZ_CALL InputRequest(DriverHandle *h, uint32_t channel);
QZ_EXPORT void QZ_CALL InputRequestCompleted(void);
QZ_EXPORT uint8_t QZ_CALL InputFinalized(void *a, void *b, uint32_t *count);
QZ_EXPORT void QZ_CALL GetInput(DriverHandle *h, uint32_t channel, HostValue *value);
QZ_EXPORT void QZ_CALL OutputRequest(DriverHandle *h, uint32_t channel, HostValue value);
QZ_EXPORT void QZ_CALL OutputRequestCompleted(void);
QZ_EXPORT uint8_t QZ_CALL OutputFinalized(void *a, void *b, uint32_t *count);

#ifdef __cplusplus
}
#endif

#endif /* QZDRK485_H */
