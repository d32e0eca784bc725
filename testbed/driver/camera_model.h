/*
 * The bench camera's behaviour, apart from the kernel: every answer to a
 * kernel-streaming property request and every private control operation.
 * Plain C on caller-supplied buffers; the driver glue adds the locking, the
 * device objects and the memory for uploads.  No function here touches a byte
 * outside the buffers and lengths it is given.
 */
#ifndef Z9_CAMERA_MODEL_H
#define Z9_CAMERA_MODEL_H

#include <stddef.h>
#include <stdint.h>

#include "camctl_protocol.h"

#ifdef __cplusplus
extern "C" {
#endif

/* NTSTATUS values the camera answers with. */
#define Z9_STATUS_SUCCESS 0x00000000u
#define Z9_STATUS_UNSUCCESSFUL 0xC0000001u
#define Z9_STATUS_INVALID_PARAMETER 0xC000000Du
#define Z9_STATUS_INVALID_DEVICE_REQUEST 0xC0000010u
#define Z9_STATUS_BUFFER_TOO_SMALL 0xC0000023u
#define Z9_STATUS_DEVICE_NOT_CONNECTED 0xC000009Du
#define Z9_STATUS_NOT_SUPPORTED 0xC00000BBu
#define Z9_STATUS_INVALID_DEVICE_STATE 0xC0000184u
#define Z9_STATUS_NOT_FOUND 0xC0000225u
#define Z9_STATUS_PROPSET_NOT_FOUND 0xC0000230u
#define Z9_STATUS_INSUFFICIENT_RESOURCES 0xC000009Au

#define Z9_IOCTL_KS_PROPERTY 0x002F0003u

#define Z9_REGISTER_SLOTS 128u

typedef struct Z9Control {
  int32_t supported;
  uint32_t access;
  int32_t flags, capabilities, minimum, maximum, step, def, value;
} Z9Control;

typedef struct Z9Model {
  /* Memory for uploaded stills (set by the glue before z9m_init). */
  void* (*alloc)(size_t bytes);
  void (*release)(void* p);

  /* Camera state. */
  Z9Control procamp[Z9B_CONTROL_IDS];
  Z9Control camcontrol[Z9B_CONTROL_IDS];
  Z9Control ext[Z9B_CONTROL_IDS];
  uint16_t regAddress[Z9_REGISTER_SLOTS];
  uint8_t regValue[Z9_REGISTER_SLOTS];
  uint32_t regCount;
  int pendingRegister;          /* 0 none, 1 read, 2 write */
  uint16_t pendingAddress;
  uint32_t lightPulses;
  int lightOn;
  Z9B_STILL_CONFIG still;
  Z9B_STREAM_INFO stream;

  uint8_t* upload;              /* payload of an uploaded still, or NULL */
  Z9B_STILL_UPLOAD uploadHeader;
  int uploadPresent;

  uint8_t buttons[Z9B_BUTTON_QUEUE];
  uint32_t buttonHead, buttonCount;

  Z9B_FAULT faults[Z9B_MAX_FAULTS];
  uint32_t faultMatches[Z9B_MAX_FAULTS];  /* matching requests seen so far */
  uint32_t faultCount;

  Z9B_COUNTERS counters;
  Z9B_LOG_ENTRY log[Z9B_LOG_ENTRIES];
  uint32_t nextSequence;        /* sequence of the next entry; entries start at 1 */
} Z9Model;

typedef struct Z9Result {
  uint32_t status;
  uint32_t returned;
} Z9Result;

/* Sets every part of the camera to its defaults.  `alloc` and `release` must be set. */
void z9m_init(Z9Model* m);
/* Restores the parts named by `what` (Z9B_RESET_* bits except PLUG; 0 = all). */
void z9m_reset(Z9Model* m, uint32_t what);
/* Releases the upload memory. */
void z9m_destroy(Z9Model* m);

/*
 * One request on a capture device.  `in`/`out` are the input and output
 * buffers (either may be NULL with length 0); under METHOD_NEITHER the output
 * arrives holding the caller's bytes.  `plugged` = 0 refuses the request as a
 * removed device would.  Every request is logged and counted.
 */
Z9Result z9m_device_ioctl(Z9Model* m, uint32_t slot, int plugged, uint32_t ioctl, const uint8_t* in, uint32_t inLen,
                          uint8_t* out, uint32_t outLen);

/* Notes a handle opened (ok = 1) or refused (ok = 0) on a device, and a close. */
void z9m_note_open(Z9Model* m, int ok);
void z9m_note_close(Z9Model* m);

/*
 * One private control operation (Z9B_IOCTL_*, except the device list and
 * plugging, which the glue answers).  METHOD_BUFFERED: `buf` holds the input
 * (`inLen` bytes) and receives the output (room `outLen`).
 */
Z9Result z9m_control(Z9Model* m, uint32_t code, uint8_t* buf, uint32_t inLen, uint32_t outLen);

#ifdef __cplusplus
}
#endif

#endif /* Z9_CAMERA_MODEL_H */
