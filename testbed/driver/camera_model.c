/*
 * The bench camera: answers to kernel-streaming property requests and the
 * private control operations.  See camera_model.h.
 */
#include "camera_model.h"

#include "still_pattern.h"

/* Request flags of the property header. */
#define KS_GET 0x00000001u
#define KS_SET 0x00000002u
#define KS_SETSUPPORT 0x00000100u
#define KS_BASICSUPPORT 0x00000200u
#define KS_DEFAULTVALUES 0x00010000u
#define KS_TOPOLOGY 0x10000000u

#define HEADER 24u
#define DESCRIPTION 40u
#define MEMBERS_HEADER 16u
#define BASIC_FULL (DESCRIPTION + MEMBERS_HEADER + 16u)   /* 72 */
#define DEFAULTS_FULL (DESCRIPTION + MEMBERS_HEADER + 4u) /* 60 */

/* Property sets, as the 16 bytes of a GUID in memory. */
static const uint8_t kSetExtension[16] = {0xA2, 0x39, 0x96, 0xEB, 0x73, 0x97, 0xF4, 0x4A,
                                          0xAF, 0x2B, 0x30, 0x32, 0xDC, 0x22, 0x30, 0x00};
static const uint8_t kSetControl[16] = {0xCC, 0xBF, 0x38, 0x8C, 0x4D, 0x8D, 0x5A, 0x4A,
                                        0x88, 0x5B, 0x27, 0x0A, 0x9B, 0x4B, 0x60, 0x03};
static const uint8_t kSetProcAmp[16] = {0x60, 0x33, 0xE1, 0xC6, 0xAC, 0x30, 0xD0, 0x11,
                                        0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56};
static const uint8_t kSetCamControl[16] = {0x70, 0x33, 0xE1, 0xC6, 0xAC, 0x30, 0xD0, 0x11,
                                           0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56};
/* KSPROPTYPESETID_General, the type set of every standard control's description. */
static const uint8_t kTypeSetGeneral[16] = {0xA0, 0x9B, 0xE9, 0x97, 0xEA, 0xBD, 0xCF, 0x11,
                                            0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
#define VT_I4 3u

/* ---- small helpers ------------------------------------------------------ */

static void copy_bytes(uint8_t* d, const uint8_t* s, uint32_t n) {
  uint32_t i;
  for (i = 0; i < n; ++i) d[i] = s[i];
}
static void zero_bytes(void* p, uint32_t n) {
  uint8_t* d = (uint8_t*)p;
  uint32_t i;
  for (i = 0; i < n; ++i) d[i] = 0;
}
static int same16(const uint8_t* a, const uint8_t* b) {
  uint32_t i;
  for (i = 0; i < 16; ++i)
    if (a[i] != b[i]) return 0;
  return 1;
}
static void put16(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}
static void put32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}
static uint32_t get32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
static uint32_t min32(uint32_t a, uint32_t b) { return a < b ? a : b; }
static int failed(uint32_t status) { return (status & 0xC0000000u) == 0xC0000000u; }

static Z9Result result(uint32_t status, uint32_t returned) {
  Z9Result r;
  r.status = status;
  r.returned = returned;
  return r;
}

/* ---- defaults ------------------------------------------------------------ */

static void set_control(Z9Control* c, int32_t supported, uint32_t access, int32_t flags, int32_t caps, int32_t min,
                        int32_t max, int32_t step, int32_t def) {
  c->supported = supported;
  c->access = access;
  c->flags = flags;
  c->capabilities = caps;
  c->minimum = min;
  c->maximum = max;
  c->step = step;
  c->def = def;
  c->value = def;
}

/* A typical VGA webcam: picture controls in manual mode, automatic white
   balance, exposure and focus, no roll or iris. */
static void default_controls(Z9Model* m) {
  uint32_t i;
  for (i = 0; i < Z9B_CONTROL_IDS; ++i) {
    set_control(&m->procamp[i], 0, 0, 0, 0, 0, 0, 0, 0);
    set_control(&m->camcontrol[i], 0, 0, 0, 0, 0, 0, 0, 0);
    set_control(&m->ext[i], 0, 0, 0, 0, 0, 0, 0, 0);
  }
  /* VIDEOPROCAMP: flags/capabilities 1 = auto, 2 = manual */
  set_control(&m->procamp[0], 1, 3, 2, 2, -64, 64, 1, 0);        /* brightness */
  set_control(&m->procamp[1], 1, 3, 2, 2, 0, 64, 1, 32);         /* contrast */
  set_control(&m->procamp[2], 1, 3, 2, 2, -40, 40, 1, 0);        /* hue */
  set_control(&m->procamp[3], 1, 3, 2, 2, 0, 128, 1, 64);        /* saturation */
  set_control(&m->procamp[4], 1, 3, 2, 2, 0, 7, 1, 3);           /* sharpness */
  set_control(&m->procamp[5], 1, 3, 2, 2, 72, 500, 1, 100);      /* gamma */
  set_control(&m->procamp[6], 1, 3, 2, 2, 0, 1, 1, 1);           /* colour enable */
  set_control(&m->procamp[7], 1, 3, 1, 3, 2800, 6500, 10, 4600); /* white balance */
  set_control(&m->procamp[8], 1, 3, 2, 2, 0, 1, 1, 0);           /* backlight compensation */
  set_control(&m->procamp[9], 1, 3, 2, 2, 0, 100, 1, 0);         /* gain */
  set_control(&m->procamp[13], 1, 3, 2, 2, 0, 2, 1, 1);          /* power-line frequency: 50 Hz */
  /* CAMERACONTROL */
  set_control(&m->camcontrol[0], 1, 3, 2, 2, -180, 180, 1, 0);   /* pan */
  set_control(&m->camcontrol[1], 1, 3, 2, 2, -180, 180, 1, 0);   /* tilt */
  set_control(&m->camcontrol[3], 1, 3, 2, 2, 0, 10, 1, 0);       /* zoom */
  set_control(&m->camcontrol[4], 1, 3, 1, 3, -11, -2, 1, -6);    /* exposure (log2 seconds) */
  set_control(&m->camcontrol[6], 1, 3, 1, 3, 0, 40, 1, 20);      /* focus */
  set_control(&m->camcontrol[19], 1, 3, 2, 3, 0, 1, 1, 0);       /* auto-exposure priority: off */
  /* The camera's own set: ControlInfo with capabilities bit 2 = auto by default. */
  set_control(&m->ext[0], 1, 3, 1, 7, 0, 3, 1, 0);               /* white-balance environment: auto */
  set_control(&m->ext[1], 1, 3, 2, 2, 0, 2, 1, 1);               /* anti-flicker: 50 Hz */
  set_control(&m->ext[2], 1, 3, 2, 2, 0, 3, 1, 0);               /* mirror and flip */
  set_control(&m->ext[3], 1, 3, 2, 2, 0, 3, 1, 0);               /* snapshot size */
  set_control(&m->ext[4], 1, 3, 2, 2, 0, 255, 1, 128);           /* red gain */
  set_control(&m->ext[5], 1, 3, 2, 2, 0, 255, 1, 128);           /* green gain */
  set_control(&m->ext[6], 1, 3, 2, 2, 0, 255, 1, 128);           /* blue gain */
  set_control(&m->ext[7], 1, 3, 2, 2, 0, 1, 1, 0);               /* selective suspend: off */
  set_control(&m->ext[15], 1, 3, 1, 3, 0x1000, 0x1001, 1, 0x1001); /* colour enable: on */
  set_control(&m->ext[16], 1, 3, 2, 3, 0, 10, 1, 0);             /* picture in picture: off */
  set_control(&m->ext[17], 1, 3, 2, 3, 1, 30, 1, 1);             /* special effects: off, effect 1 */
  set_control(&m->ext[18], 1, 3, 2, 3, 0, 10, 1, 0);             /* face tracking: off */
}

static void clear_upload(Z9Model* m) {
  if (m->upload) m->release(m->upload);
  m->upload = NULL;
  m->uploadPresent = 0;
  zero_bytes(&m->uploadHeader, sizeof m->uploadHeader);
}

static void default_model(Z9Model* m) {
  default_controls(m);
  m->regCount = 2;
  m->regAddress[0] = 0x8176;
  m->regValue[0] = 0;
  m->regAddress[1] = 0x8177;
  m->regValue[1] = 0;
  m->pendingRegister = 0;
  m->pendingAddress = 0;
  m->lightPulses = 0;
  m->lightOn = 0;
  m->still.format = Z9B_STILL_YUY2;
  m->still.sizeCode = 0;
  m->still.width = 640;
  m->still.height = 480;
  m->still.bufferSize = 640u * 480u * 3u;
  m->stream.type = 1;
  m->stream.width = 640;
  m->stream.height = 480;
  clear_upload(m);
}

static void clear_log(Z9Model* m) {
  zero_bytes(&m->counters, sizeof m->counters);
  zero_bytes(m->log, sizeof m->log);
  m->nextSequence = 1;
}

void z9m_reset(Z9Model* m, uint32_t what) {
  if (what == 0) what = Z9B_RESET_ALL;
  if (what & Z9B_RESET_MODEL) default_model(m);
  if (what & Z9B_RESET_BUTTONS) m->buttonHead = m->buttonCount = 0;
  if (what & Z9B_RESET_FAULTS) {
    zero_bytes(m->faults, sizeof m->faults);
    zero_bytes(m->faultMatches, sizeof m->faultMatches);
    m->faultCount = 0;
  }
  if (what & Z9B_RESET_LOG) clear_log(m);
}

void z9m_init(Z9Model* m) {
  m->upload = NULL;
  z9m_reset(m, Z9B_RESET_ALL);
}

void z9m_destroy(Z9Model* m) { clear_upload(m); }

/* ---- registers and the light ------------------------------------------------ */

static uint8_t reg_read(const Z9Model* m, uint16_t address) {
  uint32_t i;
  for (i = 0; i < m->regCount; ++i)
    if (m->regAddress[i] == address) return m->regValue[i];
  return 0; /* unmapped registers read as zero */
}

static void update_light(Z9Model* m) {
  /* Pin 6 lights the indicator when it is an output (0x8177) driven high (0x8176). */
  int on = (reg_read(m, 0x8177) & 0x40) && (reg_read(m, 0x8176) & 0x40);
  if (on && !m->lightOn) m->lightPulses++;
  m->lightOn = on;
}

static int reg_write(Z9Model* m, uint16_t address, uint8_t value) {
  uint32_t i;
  for (i = 0; i < m->regCount; ++i) {
    if (m->regAddress[i] == address) {
      m->regValue[i] = value;
      update_light(m);
      return 1;
    }
  }
  if (m->regCount >= Z9_REGISTER_SLOTS) return 0;
  m->regAddress[m->regCount] = address;
  m->regValue[m->regCount] = value;
  m->regCount++;
  update_light(m);
  return 1;
}

/* ---- the still -------------------------------------------------------------- */

static Z9Result answer_still(Z9Model* m, uint8_t* out, uint32_t outLen, int hasValue, int32_t value) {
  Z9B_STILL_UPLOAD h;
  uint32_t length, limit;
  if (outLen < 40u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
  if (m->uploadPresent) {
    h = m->uploadHeader;
    length = h.payloadLength;
  } else {
    zero_bytes(&h, sizeof h);
    h.format = m->still.format;
    h.sizeCode = m->still.sizeCode;
    h.width = m->still.width;
    h.height = m->still.height;
    length = z9b_pattern_size(h.format, h.width, h.height);
  }
  out[24] = (uint8_t)(hasValue ? value : (int32_t)h.status);
  out[25] = (uint8_t)h.format;
  out[26] = (uint8_t)h.sizeCode;
  out[27] = 0;
  put32(out + 28, h.height);
  put32(out + 32, h.width);
  put32(out + 36, 0);
  if (hasValue) return result(Z9_STATUS_SUCCESS, 40u); /* a refusal carries no picture */

  /* Never more than the buffer offers nor than the announced still size. */
  limit = min32(outLen - 40u, m->still.bufferSize);
  if (length > limit) {
    out[24] = 3; /* out of memory: the picture does not fit */
    length = 0;
  } else if (m->uploadPresent) {
    copy_bytes(out + 40, m->upload, length);
  } else {
    z9b_pattern_draw(out + 40, h.format, h.width, h.height);
  }
  if (out[24] == 0 && length > 0) m->counters.stillsDelivered++;
  if (m->uploadPresent && !(m->uploadHeader.flags & Z9B_UPLOAD_STICKY)) clear_upload(m);
  return result(Z9_STATUS_SUCCESS, 40u + length);
}

/* ---- the extension set ---------------------------------------------------- */

static Z9Result answer_register(Z9Model* m, uint32_t verb, uint8_t* d, uint32_t len, int hasValue, int32_t value) {
  uint8_t phase, dir, cmd;
  uint16_t address;
  int pending;
  if (verb != KS_GET && verb != KS_SET) return result(Z9_STATUS_NOT_SUPPORTED, 0);
  if (len < 95u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
  phase = d[24];
  dir = d[25];
  cmd = d[26];
  address = (uint16_t)(d[30] | (d[31] << 8));
  if (phase == 1) {
    /* Command phase: always a SET naming the direction, command and register. */
    if (verb != KS_SET || d[27] != 1 || d[28] != 1) return result(Z9_STATUS_INVALID_PARAMETER, 0);
    if (dir == 0 && cmd == 0x14)
      m->pendingRegister = 1;
    else if (dir == 1 && cmd == 0x13)
      m->pendingRegister = 2;
    else
      return result(Z9_STATUS_INVALID_PARAMETER, 0);
    m->pendingAddress = address;
    return result(Z9_STATUS_SUCCESS, 0);
  }
  if (phase != 0) return result(Z9_STATUS_INVALID_PARAMETER, 0);
  /* Data phase: completes the pending command, which it consumes. */
  pending = m->pendingRegister;
  m->pendingRegister = 0;
  if (pending == 0) return result(Z9_STATUS_INVALID_DEVICE_STATE, 0);
  if (address != m->pendingAddress) return result(Z9_STATUS_INVALID_PARAMETER, 0);
  if (pending == 1) {
    if (verb != KS_GET) return result(Z9_STATUS_INVALID_PARAMETER, 0);
    d[94] = hasValue ? (uint8_t)value : reg_read(m, address);
    m->counters.registerReads++;
    return result(Z9_STATUS_SUCCESS, min32(len, 160u));
  }
  if (verb != KS_SET) return result(Z9_STATUS_INVALID_PARAMETER, 0);
  if (!reg_write(m, address, d[94])) return result(Z9_STATUS_INSUFFICIENT_RESOURCES, 0);
  m->counters.registerWrites++;
  return result(Z9_STATUS_SUCCESS, 0);
}

/* Access flags alone (4 bytes) or a description without members (40 bytes). */
static Z9Result answer_plain_support(uint32_t access, uint8_t* d, uint32_t len) {
  if (len < 4u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
  if (len < DESCRIPTION) {
    put32(d, access);
    return result(Z9_STATUS_SUCCESS, 4u);
  }
  put32(d, access);
  put32(d + 4, DESCRIPTION);
  zero_bytes(d + 8, 24);
  put32(d + 32, 0);
  put32(d + 36, 0);
  return result(Z9_STATUS_SUCCESS, DESCRIPTION);
}

static Z9Result answer_extension(Z9Model* m, uint32_t id, uint32_t verb, uint8_t* d, uint32_t len, int hasValue,
                                 int32_t value) {
  if (id != 32 && id != 34 && id != 54 && id != 56 && id != 61) return result(Z9_STATUS_NOT_FOUND, 0);
  if (verb == KS_SETSUPPORT) return result(Z9_STATUS_SUCCESS, 0);
  if (verb == KS_BASICSUPPORT) return answer_plain_support(id == 54 ? 3u : 1u, d, len);
  if (id == 54) return answer_register(m, verb, d, len, hasValue, value);
  if (verb != KS_GET) return result(Z9_STATUS_NOT_SUPPORTED, 0);
  switch (id) {
    case 32: { /* button state: the oldest queued state, 0 when none */
      uint8_t state = 0;
      if (len < 25u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      if (m->buttonCount > 0) {
        state = m->buttons[m->buttonHead];
        m->buttonHead = (m->buttonHead + 1u) % Z9B_BUTTON_QUEUE;
        m->buttonCount--;
        m->counters.buttonsPopped++;
      }
      d[24] = hasValue ? (uint8_t)value : state;
      return result(Z9_STATUS_SUCCESS, min32(len, 32u));
    }
    case 34:
      return answer_still(m, d, len, hasValue, value);
    case 56: /* running stream: type at 24, width at 26, height at 28 */
      if (len < 30u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      d[24] = (uint8_t)(hasValue ? (uint32_t)value : m->stream.type);
      d[25] = 0;
      put16(d + 26, m->stream.width);
      put16(d + 28, m->stream.height);
      return result(Z9_STATUS_SUCCESS, min32(len, 32u));
    default: /* 61: still buffer size */
      if (len < 28u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      put32(d + 24, hasValue ? (uint32_t)value : m->still.bufferSize);
      return result(Z9_STATUS_SUCCESS, min32(len, 32u));
  }
}

/* ---- the control set -------------------------------------------------------- */

/* Face tracking (id 18) carries the digital zoom step in its Default field:
   command 6 zooms in one step (up to Maximum), 5 zooms out one step (down to
   0), 7 resets to 0; other commands leave the step. */
static void face_tracking_command(Z9Control* c) {
  switch (c->value) {
    case 6:
      if (c->def < c->maximum) c->def++;
      break;
    case 5:
      if (c->def > 0) c->def--;
      break;
    case 7:
      c->def = 0;
      break;
    default:
      break;
  }
}

static Z9Result answer_ext_control(Z9Model* m, uint32_t id, uint32_t verb, uint8_t* d, uint32_t len, int hasValue,
                                   int32_t value) {
  Z9Control* c;
  if (id >= Z9B_CONTROL_IDS || m->ext[id].access == 0) return result(Z9_STATUS_NOT_FOUND, 0);
  c = &m->ext[id];
  switch (verb) {
    case KS_SETSUPPORT:
      return result(Z9_STATUS_SUCCESS, 0);
    case KS_BASICSUPPORT:
      return answer_plain_support(c->access, d, len);
    case KS_GET:
      if (!(c->access & 1u)) return result(Z9_STATUS_NOT_SUPPORTED, 0);
      if (len < 56u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      put32(d + 24, (uint32_t)c->supported);
      put32(d + 28, (uint32_t)c->flags);
      put32(d + 32, (uint32_t)c->capabilities);
      put32(d + 36, (uint32_t)c->minimum);
      put32(d + 40, (uint32_t)c->maximum);
      put32(d + 44, (uint32_t)c->step);
      put32(d + 48, (uint32_t)c->def);
      put32(d + 52, (uint32_t)(hasValue ? value : c->value));
      return result(Z9_STATUS_SUCCESS, 56u);
    case KS_SET:
      if (!(c->access & 2u)) return result(Z9_STATUS_NOT_SUPPORTED, 0);
      if (len < 56u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      c->flags = (int32_t)get32(d + 28);
      c->value = (int32_t)get32(d + 52);
      if (id == 18) face_tracking_command(c);
      return result(Z9_STATUS_SUCCESS, 0);
    default:
      return result(Z9_STATUS_NOT_SUPPORTED, 0);
  }
}

/* ---- the standard sets -------------------------------------------------------- */

static Z9Result answer_description(const Z9Control* c, uint32_t verb, uint8_t* d, uint32_t len, int hasValue,
                                   int32_t value) {
  uint32_t full = verb == KS_BASICSUPPORT ? BASIC_FULL : DEFAULTS_FULL;
  if (len < 4u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
  if (len < DESCRIPTION) { /* the access query */
    put32(d, hasValue ? (uint32_t)value : c->access);
    return result(Z9_STATUS_SUCCESS, 4u);
  }
  /* KSPROPERTY_DESCRIPTION */
  put32(d, c->access);
  put32(d + 4, full);
  copy_bytes(d + 8, kTypeSetGeneral, 16);
  put32(d + 24, VT_I4);
  put32(d + 28, 0);
  put32(d + 32, 1); /* one members list */
  put32(d + 36, 0);
  if (len < full) return result(Z9_STATUS_SUCCESS, DESCRIPTION);
  if (verb == KS_BASICSUPPORT) {
    /* KSPROPERTY_MEMBERSHEADER: stepped ranges, one KSPROPERTY_STEPPING_LONG */
    put32(d + 40, 2);
    put32(d + 44, 16);
    put32(d + 48, 1);
    put32(d + 52, 0);
    put32(d + 56, (uint32_t)c->step);
    put32(d + 60, 0);
    put32(d + 64, (uint32_t)c->minimum);
    put32(d + 68, (uint32_t)c->maximum);
  } else {
    /* values, flagged as the default */
    put32(d + 40, 3);
    put32(d + 44, 4);
    put32(d + 48, 1);
    put32(d + 52, 1);
    put32(d + 56, (uint32_t)c->def);
  }
  return result(Z9_STATUS_SUCCESS, full);
}

static Z9Result answer_standard(Z9Control* table, uint32_t id, uint32_t verb, uint8_t* d, uint32_t len, int hasValue,
                                int32_t value) {
  Z9Control* c;
  if (id >= Z9B_CONTROL_IDS || !table[id].supported) return result(Z9_STATUS_NOT_FOUND, 0);
  c = &table[id];
  switch (verb) {
    case KS_SETSUPPORT:
      return result(Z9_STATUS_SUCCESS, 0);
    case KS_BASICSUPPORT:
    case KS_DEFAULTVALUES:
      return answer_description(c, verb, d, len, hasValue, value);
    case KS_GET: /* KSPROPERTY_VIDEOPROCAMP_S / _CAMERACONTROL_S: value, flags, capabilities */
      if (!(c->access & 1u)) return result(Z9_STATUS_NOT_SUPPORTED, 0);
      if (len < 36u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      put32(d + 24, (uint32_t)(hasValue ? value : c->value));
      put32(d + 28, (uint32_t)c->flags);
      put32(d + 32, (uint32_t)c->capabilities);
      return result(Z9_STATUS_SUCCESS, 36u);
    case KS_SET:
      if (!(c->access & 2u)) return result(Z9_STATUS_NOT_SUPPORTED, 0);
      if (len < 36u) return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
      c->value = (int32_t)get32(d + 24);
      c->flags = (int32_t)get32(d + 28);
      return result(Z9_STATUS_SUCCESS, 0);
    default:
      return result(Z9_STATUS_NOT_SUPPORTED, 0);
  }
}

/* ---- faults ----------------------------------------------------------------- */

static const Z9B_FAULT* match_fault(Z9Model* m, uint32_t kind, uint32_t id, uint32_t flags) {
  uint32_t i;
  for (i = 0; i < m->faultCount; ++i) {
    const Z9B_FAULT* f = &m->faults[i];
    uint32_t seen;
    if (f->kind != Z9B_KIND_ANY && f->kind != kind) continue;
    if (f->id != Z9B_ANY_ID && f->id != id) continue;
    if (f->flags != 0 && f->flags != flags) continue;
    seen = m->faultMatches[i]++;
    if (seen < f->skip) continue;
    if (f->count != 0 && seen - f->skip >= f->count) continue;
    return f;
  }
  return NULL;
}

/* ---- a request on a capture device ------------------------------------------- */

static uint32_t classify(const uint8_t* in, uint32_t id) {
  if (same16(in, kSetExtension)) {
    switch (id) {
      case 32: return Z9B_KIND_BUTTON;
      case 34: return Z9B_KIND_STILL;
      case 54: return Z9B_KIND_REGISTER;
      case 56: return Z9B_KIND_STREAM_INFO;
      case 61: return Z9B_KIND_STILL_SIZE;
      default: return Z9B_KIND_OTHER;
    }
  }
  if (same16(in, kSetControl)) return Z9B_KIND_EXT_CONTROL;
  if (same16(in, kSetProcAmp)) return Z9B_KIND_PROCAMP;
  if (same16(in, kSetCamControl)) return Z9B_KIND_CAMCONTROL;
  return Z9B_KIND_OTHER;
}

static Z9Result dispatch(Z9Model* m, uint32_t kind, const uint8_t* in, uint32_t id, uint32_t flags, uint8_t* out,
                         uint32_t outLen, int hasValue, int32_t value) {
  uint32_t verb = flags & ~KS_TOPOLOGY;
  if (same16(in, kSetExtension)) return answer_extension(m, id, verb, out, outLen, hasValue, value);
  switch (kind) {
    case Z9B_KIND_EXT_CONTROL: return answer_ext_control(m, id, verb, out, outLen, hasValue, value);
    case Z9B_KIND_PROCAMP: return answer_standard(m->procamp, id, verb, out, outLen, hasValue, value);
    case Z9B_KIND_CAMCONTROL: return answer_standard(m->camcontrol, id, verb, out, outLen, hasValue, value);
    default: return result(Z9_STATUS_PROPSET_NOT_FOUND, 0);
  }
}

Z9Result z9m_device_ioctl(Z9Model* m, uint32_t slot, int plugged, uint32_t ioctl, const uint8_t* in, uint32_t inLen,
                          uint8_t* out, uint32_t outLen) {
  Z9B_LOG_ENTRY* e = &m->log[(m->nextSequence - 1u) % Z9B_LOG_ENTRIES];
  uint32_t kind = Z9B_KIND_OTHER, id = 0, flags = 0;
  const Z9B_FAULT* fault = NULL;
  Z9Result r;
  int isProperty = ioctl == Z9_IOCTL_KS_PROPERTY;

  if (in == NULL) inLen = 0;
  if (out == NULL) outLen = 0;
  zero_bytes(e, sizeof *e);
  e->sequence = m->nextSequence++;
  e->slot = slot;
  e->ioctl = ioctl;
  e->inLength = inLen;
  e->outLength = outLen;
  copy_bytes(e->in, in, min32(inLen, Z9B_LOG_IN_BYTES));
  copy_bytes(e->out, out, min32(outLen, Z9B_LOG_OUT_BYTES));
  if (inLen >= HEADER) {
    copy_bytes(e->set, in, 16);
    id = get32(in + 16);
    flags = get32(in + 20);
    if (isProperty) kind = classify(in, id);
  }
  e->kind = kind;
  e->id = id;
  e->flags = flags;

  if (!plugged) {
    r = result(Z9_STATUS_DEVICE_NOT_CONNECTED, 0);
  } else if (!isProperty) {
    r = result(Z9_STATUS_INVALID_DEVICE_REQUEST, 0);
  } else if (inLen < HEADER) {
    r = result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
  } else {
    fault = match_fault(m, kind, id, flags);
    if (fault && fault->mode == Z9B_FAULT_FAIL) {
      r = result(fault->status ? fault->status : Z9_STATUS_UNSUCCESSFUL, 0);
    } else if (fault && fault->mode == Z9B_FAULT_NOWRITE) {
      r = result(Z9_STATUS_SUCCESS, outLen);
    } else {
      int hasValue = fault && fault->mode == Z9B_FAULT_VALUE;
      r = dispatch(m, kind, in, id, flags, out, outLen, hasValue, hasValue ? fault->value : 0);
    }
    if (fault) {
      e->fault = fault->mode;
      m->counters.faultsApplied++;
    }
  }
  if (r.returned > outLen) r.returned = outLen;
  e->status = r.status;
  e->returned = r.returned;

  if (isProperty) {
    m->counters.requests++;
    m->counters.byKind[kind]++;
    if (failed(r.status)) {
      m->counters.failures++;
      m->counters.failuresByKind[kind]++;
    }
  } else {
    m->counters.otherIoctls++;
  }
  return r;
}

void z9m_note_open(Z9Model* m, int ok) {
  if (ok)
    m->counters.opens++;
  else
    m->counters.refusedOpens++;
}

void z9m_note_close(Z9Model* m) { m->counters.closes++; }

/* ---- private control operations -------------------------------------------------- */

static Z9Control* control_of(Z9Model* m, uint32_t group, uint32_t id) {
  if (id >= Z9B_CONTROL_IDS) return NULL;
  switch (group) {
    case Z9B_GROUP_PROCAMP: return &m->procamp[id];
    case Z9B_GROUP_CAMCONTROL: return &m->camcontrol[id];
    case Z9B_GROUP_EXT: return &m->ext[id];
    default: return NULL;
  }
}

/* Up to the largest snapshot size, 2560 x 2048. */
static int valid_pattern(const Z9B_STILL_CONFIG* c) {
  if (z9b_pattern_size(c->format, 16, 16) == 0) return 0;
  if (c->width < 16 || c->width > Z9B_STILL_MAX_WIDTH || c->width % 16) return 0;
  if (c->height < 16 || c->height > Z9B_STILL_MAX_HEIGHT || c->height % 4) return 0;
  return 1;
}

Z9Result z9m_control(Z9Model* m, uint32_t code, uint8_t* buf, uint32_t inLen, uint32_t outLen) {
  if (buf == NULL) inLen = outLen = 0;
  switch (code) {
    case Z9B_IOCTL_GET_INFO: {
      Z9B_INFO info;
      if (outLen < sizeof info) break;
      zero_bytes(&info, sizeof info);
      info.protocolVersion = Z9B_PROTOCOL_VERSION;
      info.logCapacity = Z9B_LOG_ENTRIES;
      info.nextSequence = m->nextSequence;
      copy_bytes(buf, (const uint8_t*)&info, sizeof info);
      return result(Z9_STATUS_SUCCESS, sizeof info);
    }
    case Z9B_IOCTL_RESET: {
      Z9B_RESET r;
      if (inLen < sizeof r) break;
      copy_bytes((uint8_t*)&r, buf, sizeof r);
      if (r.what == 0) r.what = Z9B_RESET_ALL;
      if (r.what & ~Z9B_RESET_PLUG) z9m_reset(m, r.what & ~Z9B_RESET_PLUG); /* the glue replugs */
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_PUSH_BUTTONS: {
      Z9B_BUTTONS b;
      uint32_t i;
      if (inLen < sizeof b) break;
      copy_bytes((uint8_t*)&b, buf, sizeof b);
      if (b.count > Z9B_MAX_BUTTONS || m->buttonCount + b.count > Z9B_BUTTON_QUEUE)
        return result(Z9_STATUS_INVALID_PARAMETER, 0);
      for (i = 0; i < b.count; ++i) {
        m->buttons[(m->buttonHead + m->buttonCount) % Z9B_BUTTON_QUEUE] = b.states[i];
        m->buttonCount++;
      }
      if (outLen >= 4) {
        put32(buf, m->buttonCount);
        return result(Z9_STATUS_SUCCESS, 4);
      }
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_CLEAR_BUTTONS:
      m->buttonHead = m->buttonCount = 0;
      return result(Z9_STATUS_SUCCESS, 0);
    case Z9B_IOCTL_SET_REGISTER: {
      Z9B_REGISTER r;
      if (inLen < sizeof r) break;
      copy_bytes((uint8_t*)&r, buf, sizeof r);
      if (r.address > 0xFFFF || r.value > 0xFF) return result(Z9_STATUS_INVALID_PARAMETER, 0);
      if (!reg_write(m, (uint16_t)r.address, (uint8_t)r.value)) return result(Z9_STATUS_INSUFFICIENT_RESOURCES, 0);
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_GET_REGISTER: {
      Z9B_REGISTER r;
      if (inLen < sizeof r || outLen < sizeof r) break;
      copy_bytes((uint8_t*)&r, buf, sizeof r);
      if (r.address > 0xFFFF) return result(Z9_STATUS_INVALID_PARAMETER, 0);
      r.value = reg_read(m, (uint16_t)r.address);
      copy_bytes(buf, (const uint8_t*)&r, sizeof r);
      return result(Z9_STATUS_SUCCESS, sizeof r);
    }
    case Z9B_IOCTL_GET_LIGHT: {
      Z9B_LIGHT l;
      if (outLen < sizeof l) break;
      l.pulses = m->lightPulses;
      l.on = (uint32_t)m->lightOn;
      l.level = reg_read(m, 0x8176);
      l.direction = reg_read(m, 0x8177);
      copy_bytes(buf, (const uint8_t*)&l, sizeof l);
      return result(Z9_STATUS_SUCCESS, sizeof l);
    }
    case Z9B_IOCTL_SET_CONTROL: {
      Z9B_CONTROL c;
      Z9Control* t;
      if (inLen < sizeof c) break;
      copy_bytes((uint8_t*)&c, buf, sizeof c);
      t = control_of(m, c.group, c.id);
      if (!t || c.access > 3u) return result(Z9_STATUS_INVALID_PARAMETER, 0);
      t->supported = c.supported;
      t->access = c.access;
      t->flags = c.flags;
      t->capabilities = c.capabilities;
      t->minimum = c.minimum;
      t->maximum = c.maximum;
      t->step = c.step;
      t->def = c.def;
      t->value = c.value;
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_GET_CONTROL: {
      Z9B_CONTROL c;
      const Z9Control* t;
      if (inLen < sizeof c || outLen < sizeof c) break;
      copy_bytes((uint8_t*)&c, buf, sizeof c);
      t = control_of(m, c.group, c.id);
      if (!t) return result(Z9_STATUS_INVALID_PARAMETER, 0);
      c.supported = t->supported;
      c.access = t->access;
      c.flags = t->flags;
      c.capabilities = t->capabilities;
      c.minimum = t->minimum;
      c.maximum = t->maximum;
      c.step = t->step;
      c.def = t->def;
      c.value = t->value;
      copy_bytes(buf, (const uint8_t*)&c, sizeof c);
      return result(Z9_STATUS_SUCCESS, sizeof c);
    }
    case Z9B_IOCTL_SET_STILL_CONFIG: {
      Z9B_STILL_CONFIG c;
      if (inLen < sizeof c) break;
      copy_bytes((uint8_t*)&c, buf, sizeof c);
      if (!valid_pattern(&c) || c.sizeCode > 0xFF) return result(Z9_STATUS_INVALID_PARAMETER, 0);
      m->still = c;
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_GET_STILL_CONFIG:
      if (outLen < sizeof m->still) break;
      copy_bytes(buf, (const uint8_t*)&m->still, sizeof m->still);
      return result(Z9_STATUS_SUCCESS, sizeof m->still);
    case Z9B_IOCTL_UPLOAD_STILL: {
      Z9B_STILL_UPLOAD u;
      uint8_t* copy = NULL;
      if (inLen < sizeof u) break;
      copy_bytes((uint8_t*)&u, buf, sizeof u);
      if (u.payloadLength > Z9B_MAX_UPLOAD || u.payloadLength > inLen - sizeof u || u.status > 0xFF ||
          u.format > 0xFF || u.sizeCode > 0xFF)
        return result(Z9_STATUS_INVALID_PARAMETER, 0);
      if (u.payloadLength > 0) {
        copy = (uint8_t*)m->alloc(u.payloadLength);
        if (!copy) return result(Z9_STATUS_INSUFFICIENT_RESOURCES, 0);
        copy_bytes(copy, buf + sizeof u, u.payloadLength);
      }
      clear_upload(m);
      m->upload = copy;
      m->uploadHeader = u;
      m->uploadPresent = 1;
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_CLEAR_UPLOAD:
      clear_upload(m);
      return result(Z9_STATUS_SUCCESS, 0);
    case Z9B_IOCTL_SET_STREAM_INFO: {
      Z9B_STREAM_INFO s;
      if (inLen < sizeof s) break;
      copy_bytes((uint8_t*)&s, buf, sizeof s);
      if (s.type > 0xFF || s.width > 0xFFFF || s.height > 0xFFFF) return result(Z9_STATUS_INVALID_PARAMETER, 0);
      m->stream = s;
      return result(Z9_STATUS_SUCCESS, 0);
    }
    case Z9B_IOCTL_ADD_FAULT: {
      Z9B_FAULT f;
      if (inLen < sizeof f) break;
      copy_bytes((uint8_t*)&f, buf, sizeof f);
      if (f.kind >= Z9B_KIND_COUNT || f.mode < Z9B_FAULT_FAIL || f.mode > Z9B_FAULT_VALUE)
        return result(Z9_STATUS_INVALID_PARAMETER, 0);
      if (f.mode == Z9B_FAULT_FAIL && f.status != 0 && !failed(f.status))
        return result(Z9_STATUS_INVALID_PARAMETER, 0);
      if (m->faultCount >= Z9B_MAX_FAULTS) return result(Z9_STATUS_INSUFFICIENT_RESOURCES, 0);
      m->faults[m->faultCount] = f;
      m->faultMatches[m->faultCount] = 0;
      if (outLen >= 4) put32(buf, m->faultCount);
      m->faultCount++;
      return result(Z9_STATUS_SUCCESS, outLen >= 4 ? 4u : 0u);
    }
    case Z9B_IOCTL_CLEAR_FAULTS:
      z9m_reset(m, Z9B_RESET_FAULTS);
      return result(Z9_STATUS_SUCCESS, 0);
    case Z9B_IOCTL_GET_COUNTERS:
      if (outLen < sizeof m->counters) break;
      copy_bytes(buf, (const uint8_t*)&m->counters, sizeof m->counters);
      return result(Z9_STATUS_SUCCESS, sizeof m->counters);
    case Z9B_IOCTL_READ_LOG: {
      Z9B_LOG_QUERY q;
      uint32_t seq, oldest, n = 0, room;
      if (inLen < sizeof q) break;
      copy_bytes((uint8_t*)&q, buf, sizeof q);
      room = min32(outLen / (uint32_t)sizeof(Z9B_LOG_ENTRY), q.maxEntries);
      oldest = m->nextSequence > Z9B_LOG_ENTRIES ? m->nextSequence - Z9B_LOG_ENTRIES : 1u;
      seq = q.fromSequence > oldest ? q.fromSequence : oldest;
      for (; seq < m->nextSequence && n < room; ++seq, ++n)
        copy_bytes(buf + n * sizeof(Z9B_LOG_ENTRY), (const uint8_t*)&m->log[(seq - 1u) % Z9B_LOG_ENTRIES],
                   sizeof(Z9B_LOG_ENTRY));
      return result(Z9_STATUS_SUCCESS, n * (uint32_t)sizeof(Z9B_LOG_ENTRY));
    }
    case Z9B_IOCTL_CLEAR_LOG:
      clear_log(m);
      return result(Z9_STATUS_SUCCESS, 0);
    default:
      return result(Z9_STATUS_INVALID_DEVICE_REQUEST, 0);
  }
  return result(Z9_STATUS_BUFFER_TOO_SMALL, 0);
}
