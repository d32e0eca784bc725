/*
 * Private protocol of the bench camera's control device.
 *
 * The stand-in camera driver creates, besides one capture device per installed
 * camera function, a named control device "\\.\Z9CamCtl" that any process may
 * open.  Every operation is one DeviceIoControl with METHOD_BUFFERED on that
 * device; the structures below are the input and output buffers.  The header is
 * plain C so that the kernel driver, the client library, the control tool and
 * the tests share it.
 *
 * Conventions: all fields are little-endian 32-bit unless noted; a request
 * whose input is shorter than its structure fails with
 * STATUS_BUFFER_TOO_SMALL; unknown codes fail with STATUS_INVALID_DEVICE_REQUEST.
 * Bump Z9B_PROTOCOL_VERSION whenever a structure changes.
 */
#ifndef Z9_CAMCTL_PROTOCOL_H
#define Z9_CAMCTL_PROTOCOL_H

#include <stdint.h>

#define Z9B_PROTOCOL_VERSION 1u

/* Names of the control device (kernel side and user side). */
#define Z9B_CONTROL_DEVICE_NAME_W L"\\Device\\Z9CamCtl"
#define Z9B_CONTROL_LINK_NAME_W L"\\DosDevices\\Z9CamCtl"
#define Z9B_CONTROL_PATH_A "\\\\.\\Z9CamCtl"

/* CTL_CODE(FILE_DEVICE_UNKNOWN, function, METHOD_BUFFERED, FILE_ANY_ACCESS) */
#define Z9B_CTL(fn) ((uint32_t)((0x22u << 16) | ((uint32_t)(fn) << 2)))

#define Z9B_IOCTL_GET_INFO Z9B_CTL(0x900)          /* out Z9B_INFO */
#define Z9B_IOCTL_RESET Z9B_CTL(0x901)             /* in Z9B_RESET */
#define Z9B_IOCTL_LIST_DEVICES Z9B_CTL(0x902)      /* out Z9B_DEVICE_LIST */
#define Z9B_IOCTL_SET_PLUGGED Z9B_CTL(0x903)       /* in Z9B_PLUG */
#define Z9B_IOCTL_PUSH_BUTTONS Z9B_CTL(0x904)      /* in Z9B_BUTTONS, out uint32 queue length */
#define Z9B_IOCTL_CLEAR_BUTTONS Z9B_CTL(0x905)     /* no buffers */
#define Z9B_IOCTL_SET_REGISTER Z9B_CTL(0x906)      /* in Z9B_REGISTER */
#define Z9B_IOCTL_GET_REGISTER Z9B_CTL(0x907)      /* in Z9B_REGISTER (address), out Z9B_REGISTER */
#define Z9B_IOCTL_GET_LIGHT Z9B_CTL(0x908)         /* out Z9B_LIGHT */
#define Z9B_IOCTL_SET_CONTROL Z9B_CTL(0x909)       /* in Z9B_CONTROL */
#define Z9B_IOCTL_GET_CONTROL Z9B_CTL(0x90A)       /* in Z9B_CONTROL (group, id), out Z9B_CONTROL */
#define Z9B_IOCTL_SET_STILL_CONFIG Z9B_CTL(0x90B)  /* in Z9B_STILL_CONFIG */
#define Z9B_IOCTL_GET_STILL_CONFIG Z9B_CTL(0x90C)  /* out Z9B_STILL_CONFIG */
#define Z9B_IOCTL_UPLOAD_STILL Z9B_CTL(0x90D)      /* in Z9B_STILL_UPLOAD followed by the payload */
#define Z9B_IOCTL_CLEAR_UPLOAD Z9B_CTL(0x90E)      /* no buffers */
#define Z9B_IOCTL_SET_STREAM_INFO Z9B_CTL(0x90F)   /* in Z9B_STREAM_INFO */
#define Z9B_IOCTL_ADD_FAULT Z9B_CTL(0x910)         /* in Z9B_FAULT, out uint32 slot */
#define Z9B_IOCTL_CLEAR_FAULTS Z9B_CTL(0x911)      /* no buffers */
#define Z9B_IOCTL_GET_COUNTERS Z9B_CTL(0x912)      /* out Z9B_COUNTERS */
#define Z9B_IOCTL_READ_LOG Z9B_CTL(0x913)          /* in Z9B_LOG_QUERY, out Z9B_LOG_ENTRY[] */
#define Z9B_IOCTL_CLEAR_LOG Z9B_CTL(0x914)         /* no buffers: clears the log and the counters */

/* Request kinds: how the camera classifies each IOCTL_KS_PROPERTY. */
enum {
  Z9B_KIND_ANY = 0,           /* matches every kind (faults only) */
  Z9B_KIND_BUTTON = 1,        /* extension set, id 32 */
  Z9B_KIND_STILL = 2,         /* extension set, id 34 */
  Z9B_KIND_REGISTER = 3,      /* extension set, id 54 */
  Z9B_KIND_STREAM_INFO = 4,   /* extension set, id 56 */
  Z9B_KIND_STILL_SIZE = 5,    /* extension set, id 61 */
  Z9B_KIND_EXT_CONTROL = 6,   /* control set, any id */
  Z9B_KIND_PROCAMP = 7,       /* PROPSETID_VIDCAP_VIDEOPROCAMP */
  Z9B_KIND_CAMCONTROL = 8,    /* PROPSETID_VIDCAP_CAMERACONTROL */
  Z9B_KIND_OTHER = 9,         /* anything else: other ids, sets, other IOCTLs */
  Z9B_KIND_COUNT = 10
};

/* Control groups of Z9B_CONTROL. */
enum {
  Z9B_GROUP_PROCAMP = 1,    /* ids 0..19 of VIDEOPROCAMP */
  Z9B_GROUP_CAMCONTROL = 2, /* ids 0..19 of CAMERACONTROL */
  Z9B_GROUP_EXT = 3         /* ids 0..19 of the camera's control set */
};
#define Z9B_CONTROL_IDS 20u

/* Fault modes. */
enum {
  Z9B_FAULT_FAIL = 1,     /* complete with `status` (a failure NTSTATUS) */
  Z9B_FAULT_NOWRITE = 2,  /* succeed with the full length, write and change nothing */
  Z9B_FAULT_VALUE = 3     /* answer normally but put `value` in the answer field */
};
/*
 * The answer field that Z9B_FAULT_VALUE replaces, per kind:
 *   BUTTON       state byte (offset 24)
 *   STILL        status byte (offset 24); no payload is written
 *   REGISTER     register value of a read's data phase (offset 94)
 *   STREAM_INFO  stream type byte (offset 24)
 *   STILL_SIZE   the size (offset 24)
 *   EXT_CONTROL  Value of a GET's ControlInfo (offset 52)
 *   PROCAMP / CAMCONTROL  Value of a GET (offset 24); the access flags of a
 *                4-byte BASICSUPPORT/DEFAULTVALUES query
 * Requests without such a field (SETs, descriptions) are answered normally.
 */

#define Z9B_ANY_ID 0xFFFFFFFFu
#define Z9B_STATUS_UNSUCCESSFUL 0xC0000001u
#define Z9B_MAX_FAULTS 16u
#define Z9B_MAX_BUTTONS 64u       /* per push; the queue holds 256 */
#define Z9B_BUTTON_QUEUE 256u
#define Z9B_MAX_DEVICES 8u
#define Z9B_LOG_ENTRIES 256u
#define Z9B_LOG_IN_BYTES 96u
#define Z9B_LOG_OUT_BYTES 64u
#define Z9B_MAX_UPLOAD (8u * 1024u * 1024u)
#define Z9B_INSTANCE_CHARS 128u

/* Roles of the capture devices, derived from their instance ids. */
enum {
  Z9B_ROLE_CAMERA = 0,   /* ...VID_FFF1&PID_A14C&MI_00... */
  Z9B_ROLE_SECOND = 1,   /* ...VID_FFF1&PID_A14C&MI_01... */
  Z9B_ROLE_FOREIGN = 2   /* any other instance id */
};

typedef struct Z9B_INFO {
  uint32_t protocolVersion;
  uint32_t deviceCount;
  uint32_t logCapacity;
  uint32_t nextSequence; /* sequence number the next logged request gets */
} Z9B_INFO;

/* What RESET restores (bits; 0 means everything). */
#define Z9B_RESET_MODEL 0x1u    /* controls, registers, still and stream settings */
#define Z9B_RESET_BUTTONS 0x2u
#define Z9B_RESET_FAULTS 0x4u
#define Z9B_RESET_LOG 0x8u      /* log and counters */
#define Z9B_RESET_PLUG 0x10u    /* plug every device back in */
#define Z9B_RESET_ALL 0x1Fu
typedef struct Z9B_RESET {
  uint32_t what;
} Z9B_RESET;

typedef struct Z9B_DEVICE {
  uint32_t slot;
  uint32_t role;
  uint32_t plugged;      /* interface enabled (1) or switched off (0) */
  uint32_t openHandles;  /* handles currently open on this device */
  uint32_t opens;        /* successful opens since the last log clear */
  uint32_t refusedOpens; /* opens refused while unplugged */
  char instanceId[Z9B_INSTANCE_CHARS]; /* e.g. ROOT\VID_FFF1&PID_A14C&MI_00\0000 */
} Z9B_DEVICE;

typedef struct Z9B_DEVICE_LIST {
  uint32_t count;
  Z9B_DEVICE devices[Z9B_MAX_DEVICES];
} Z9B_DEVICE_LIST;

typedef struct Z9B_PLUG {
  uint32_t slot;    /* Z9B_ANY_ID: every device */
  uint32_t plugged; /* 0 = unplug (interface off), 1 = replug (interface on) */
} Z9B_PLUG;

typedef struct Z9B_BUTTONS {
  uint32_t count;
  uint8_t states[Z9B_MAX_BUTTONS];
} Z9B_BUTTONS;

typedef struct Z9B_REGISTER {
  uint32_t address; /* 16-bit register number */
  uint32_t value;   /* 8-bit value */
} Z9B_REGISTER;

typedef struct Z9B_LIGHT {
  uint32_t pulses;    /* off-to-on changes of output pin 6 */
  uint32_t on;        /* pin 6 currently an output driven high */
  uint32_t level;     /* register 0x8176 */
  uint32_t direction; /* register 0x8177 */
} Z9B_LIGHT;

/*
 * One control of any group.  The camera's control set answers
 * {supported, flags, capabilities, minimum, maximum, step, def, value} as its
 * ControlInfo; the standard sets answer value/flags/capabilities on GET and the
 * range/default in their description queries.  `access` holds the GET (1) and
 * SET (2) bits: a request the control does not allow fails.  A standard
 * control with supported = 0 is absent (every request for it fails).  A
 * control-set record is absent when access is 0; with supported = 0 and access
 * non-zero it is answered, carrying Supported 0.  A SET stores flags and value.
 */
typedef struct Z9B_CONTROL {
  uint32_t group;
  uint32_t id;
  int32_t supported;
  uint32_t access;
  int32_t flags;
  int32_t capabilities;
  int32_t minimum;
  int32_t maximum;
  int32_t step;
  int32_t def;
  int32_t value;
} Z9B_CONTROL;

/* Still formats of the test pattern (the still header's format codes). */
#define Z9B_STILL_RGB 0u
#define Z9B_STILL_I420 4u
#define Z9B_STILL_YUY2 5u
#define Z9B_STILL_UYVY 7u

/* The largest pattern: the largest snapshot size the camera's pages offer. */
#define Z9B_STILL_MAX_WIDTH 2560u
#define Z9B_STILL_MAX_HEIGHT 2048u

typedef struct Z9B_STILL_CONFIG {
  uint32_t format;     /* pattern format: RGB, I420, YUY2 or UYVY */
  uint32_t sizeCode;   /* byte 26 of every still answer */
  uint32_t width;      /* pattern size: a multiple of 16, 16..2560 (default 640) */
  uint32_t height;     /* a multiple of 4, 16..2048 (default 480) */
  uint32_t bufferSize; /* answer of the still buffer size request; also the payload limit */
} Z9B_STILL_CONFIG;

/* An uploaded still: the next still answer carries exactly these fields and bytes. */
#define Z9B_UPLOAD_STICKY 0x1u /* answer every still with it until cleared */
typedef struct Z9B_STILL_UPLOAD {
  uint32_t status;   /* byte 24 */
  uint32_t format;   /* byte 25 */
  uint32_t sizeCode; /* byte 26 */
  uint32_t height;   /* bytes 28-31 */
  uint32_t width;    /* bytes 32-35 */
  uint32_t flags;
  uint32_t payloadLength; /* bytes that follow this structure, at most Z9B_MAX_UPLOAD */
} Z9B_STILL_UPLOAD;

typedef struct Z9B_STREAM_INFO {
  uint32_t type; /* 0 = no stream */
  uint32_t width;
  uint32_t height;
} Z9B_STREAM_INFO;

typedef struct Z9B_FAULT {
  uint32_t kind;     /* Z9B_KIND_*, Z9B_KIND_ANY for every request */
  uint32_t id;       /* property id, Z9B_ANY_ID for any */
  uint32_t flags;    /* exact request flags to match, 0 for any */
  uint32_t mode;     /* Z9B_FAULT_* */
  uint32_t status;   /* NTSTATUS for FAIL; 0 gives STATUS_UNSUCCESSFUL */
  int32_t value;     /* for VALUE */
  uint32_t skip;     /* let this many matching requests pass first */
  uint32_t count;    /* then apply to this many (0 = until cleared) */
} Z9B_FAULT;

typedef struct Z9B_COUNTERS {
  uint32_t requests;                  /* IOCTL_KS_PROPERTY requests on capture devices */
  uint32_t failures;                  /* of these, completed with a failure status */
  uint32_t faultsApplied;
  uint32_t otherIoctls;               /* other control codes on capture devices */
  uint32_t byKind[Z9B_KIND_COUNT];
  uint32_t failuresByKind[Z9B_KIND_COUNT];
  uint32_t buttonsPopped;             /* queued states handed out */
  uint32_t registerReads;             /* completed read data phases */
  uint32_t registerWrites;            /* completed write data phases */
  uint32_t stillsDelivered;           /* still answers with status 0 and a payload */
  uint32_t opens;                     /* handles opened on capture devices */
  uint32_t closes;
  uint32_t refusedOpens;
} Z9B_COUNTERS;

typedef struct Z9B_LOG_QUERY {
  uint32_t fromSequence; /* entries with this sequence number and later */
  uint32_t maxEntries;
} Z9B_LOG_QUERY;

typedef struct Z9B_LOG_ENTRY {
  uint32_t sequence;
  uint32_t slot;        /* device that received it */
  uint32_t ioctl;       /* control code */
  uint32_t kind;
  uint8_t set[16];      /* property set GUID as sent (bytes 0-15 of the input) */
  uint32_t id;
  uint32_t flags;
  uint32_t inLength;
  uint32_t outLength;
  uint32_t status;      /* NTSTATUS the request completed with */
  uint32_t returned;    /* bytes returned */
  uint32_t fault;       /* fault mode applied, 0 for none */
  uint8_t in[Z9B_LOG_IN_BYTES];   /* first bytes of the input buffer */
  uint8_t out[Z9B_LOG_OUT_BYTES]; /* first bytes of the output buffer as it arrived */
} Z9B_LOG_ENTRY;

#endif /* Z9_CAMCTL_PROTOCOL_H */
