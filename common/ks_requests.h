// Property requests sent to the camera driver: property-set identifiers, the
// 24-byte property header, and builders / readers for every request layout.
// Portable: no Windows headers; all multi-byte fields are little-endian and
// written byte by byte, so the layouts are the same on every host.
#pragma once
#include <cstddef>
#include <cstdint>

#include "control_info.h"

namespace z9 {

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

bool operator==(const Guid& a, const Guid& b);
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

// The camera driver's two vendor sets.
constexpr Guid kExtensionPropertySet = {0xEB9639A2, 0x9773, 0x4AF4, {0xAF, 0x2B, 0x30, 0x32, 0xDC, 0x22, 0x30, 0x00}};
constexpr Guid kControlPropertySet = {0x8C38BFCC, 0x8D4D, 0x4A5A, {0x88, 0x5B, 0x27, 0x0A, 0x9B, 0x4B, 0x60, 0x03}};
// The operating system's standard camera sets.
constexpr Guid kPropSetVideoProcAmp = {0xC6E13360, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
constexpr Guid kPropSetCameraControl = {0xC6E13370, 0x30AC, 0x11D0, {0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56}};
// Device interface class of video capture devices.
constexpr Guid kKsCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

constexpr uint32_t kIoctlKsProperty = 0x2F0003;

constexpr uint32_t kKsPropertyTypeGet = 0x1;
constexpr uint32_t kKsPropertyTypeSet = 0x2;
constexpr uint32_t kKsPropertyTypeBasicSupport = 0x200;
constexpr uint32_t kKsPropertyTypeDefaultValues = 0x10000;

// Property ids of the extension set.
constexpr uint32_t kExtButtonState = 32;
constexpr uint32_t kExtStill = 34;
constexpr uint32_t kExtRegister = 54;
constexpr uint32_t kExtStreamInfo = 56;
constexpr uint32_t kExtStillBufferSize = 61;

// Button states.
constexpr uint8_t kButtonNothing = 0;
constexpr uint8_t kButtonSnapshot = 1;
constexpr uint8_t kButtonNotOpen = 11;
constexpr uint8_t kButtonNoResponse = 99;

// Register numbers of the general-purpose outputs.
constexpr uint16_t kRegGpioLevel = 0x8176;
constexpr uint16_t kRegGpioDirection = 0x8177;

constexpr uint32_t kDefaultStillBufferSize = 640 * 480 * 3;  // 921600

// Little-endian field access.
void PutU16(uint8_t* p, uint16_t v);
void PutU32(uint8_t* p, uint32_t v);
uint16_t GetU16(const uint8_t* p);
uint32_t GetU32(const uint8_t* p);
inline void PutI32(uint8_t* p, int32_t v) { PutU32(p, static_cast<uint32_t>(v)); }
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
void PutGuid(uint8_t* p, const Guid& g);
Guid GetGuid(const uint8_t* p);

// The property header: set (16), id (4), flags (4).
constexpr size_t kKsPropertySize = 24;
struct KsPropertyHeader {
  Guid set;
  uint32_t id;
  uint32_t flags;
};
void PutKsProperty(uint8_t* p, const Guid& set, uint32_t id, uint32_t flags);
KsPropertyHeader GetKsProperty(const uint8_t* p);

// --- Monitor requests (extension set) ------------------------------------

// Button state: 32 bytes, GET id 32; byte 24 preset to 99 and answered with the state.
constexpr size_t kButtonRequestSize = 32;
void BuildButtonStateRequest(uint8_t (&buf)[kButtonRequestSize]);
inline uint8_t ButtonStateOfReply(const uint8_t (&buf)[kButtonRequestSize]) { return buf[24]; }

// Still buffer size: 32 bytes, GET id 61; answered as 4 bytes at offset 24.
constexpr size_t kStillSizeRequestSize = 32;
void BuildStillBufferSizeRequest(uint8_t (&buf)[kStillSizeRequestSize]);
inline uint32_t StillBufferSizeOfReply(const uint8_t (&buf)[kStillSizeRequestSize]) { return GetU32(buf + 24); }

// Register access: 160 bytes, id 54, two calls on one buffer.
constexpr size_t kRegisterRequestSize = 160;
constexpr uint8_t kRegisterCommandRead = 0x14;
constexpr uint8_t kRegisterCommandWrite = 0x13;
constexpr size_t kRegisterValueOffset = 94;
// First call of a read: SET, phase 1 (command), direction 0, command 0x14.
void BuildRegisterReadCommand(uint8_t (&buf)[kRegisterRequestSize], uint16_t address);
// Second call of a read: the same buffer, flags GET and phase 0 (data).
void TurnRegisterReadIntoData(uint8_t (&buf)[kRegisterRequestSize]);
inline uint8_t RegisterValueOfReply(const uint8_t (&buf)[kRegisterRequestSize]) { return buf[kRegisterValueOffset]; }
// First call of a write: SET, phase 1, direction 1, command 0x13, value at 94.
void BuildRegisterWriteCommand(uint8_t (&buf)[kRegisterRequestSize], uint16_t address, uint8_t value);
// Second call of a write: the same buffer, still SET, phase 0.
void TurnRegisterWriteIntoData(uint8_t (&buf)[kRegisterRequestSize]);

// The pin's bit in the output registers; pin 8 selects no bit, above 8 is refused.
constexpr unsigned kMaxGpioPin = 8;
inline uint8_t GpioPinBit(unsigned pin) { return static_cast<uint8_t>((1u << pin) & 0xFF); }

// --- Property-page requests -------------------------------------------------

// Standard control request (video proc amp / camera control): 44 bytes.
constexpr size_t kStandardRequestSize = 44;
struct StandardControlValue {
  int32_t value;
  int32_t flags;
  int32_t capabilities;
};
void BuildStandardRequest(uint8_t (&buf)[kStandardRequestSize], const Guid& set, uint32_t id, uint32_t flags,
                          const StandardControlValue& v);
StandardControlValue StandardValueOfReply(const uint8_t (&buf)[kStandardRequestSize]);

// Access and description queries: the 24-byte header alone is the property.
constexpr size_t kAccessDataSize = 4;
constexpr uint32_t kAccessGet = 0x1;
constexpr uint32_t kAccessSet = 0x2;
constexpr size_t kDescriptionSize = 40;    // KSPROPERTY_DESCRIPTION
constexpr size_t kMembersHeaderSize = 16;  // KSPROPERTY_MEMBERSHEADER
constexpr size_t kSteppingSize = 16;       // KSPROPERTY_STEPPING_LONG
constexpr size_t kBasicSupportSize = kDescriptionSize + kMembersHeaderSize + kSteppingSize;  // 72
constexpr size_t kDefaultValuesSize = kDescriptionSize + kMembersHeaderSize + 4;              // 60
struct PropertyDescription {
  uint32_t accessFlags;
  uint32_t descriptionSize;
  uint32_t membersListCount;
};
PropertyDescription DescriptionOfReply(const uint8_t* data);  // reads the first 40 bytes
struct SteppingRange {
  uint32_t steppingDelta;
  int32_t minimum;
  int32_t maximum;
};
// From a full BASICSUPPORT answer of at least kBasicSupportSize bytes.
SteppingRange SteppingOfReply(const uint8_t* data);
// From a full DEFAULTVALUES answer of at least kDefaultValuesSize bytes.
int32_t DefaultValueOfReply(const uint8_t* data);
// Writers of the same layouts, for whatever answers these queries.
void PutDescription(uint8_t* data, uint32_t accessFlags, uint32_t descriptionSize, uint32_t membersListCount);
void PutMembersHeader(uint8_t* data, uint32_t membersFlags, uint32_t membersSize, uint32_t membersCount,
                      uint32_t flags);
void PutStepping(uint8_t* data, uint32_t steppingDelta, int32_t minimum, int32_t maximum);

// Camera control set request: 56 bytes, header then a ControlInfo.
constexpr size_t kControlRequestSize = 56;
void BuildControlRequest(uint8_t (&buf)[kControlRequestSize], uint32_t id, uint32_t flags, const ControlInfo& info);
ControlInfo ControlInfoOfReply(const uint8_t (&buf)[kControlRequestSize]);
void PutControlInfo(uint8_t* p, const ControlInfo& info);
ControlInfo GetControlInfo(const uint8_t* p);

// Running stream: 32 bytes, GET id 56; type at 24, width at 26, height at 28.
constexpr size_t kStreamInfoRequestSize = 32;
struct StreamInfo {
  uint8_t type;  // 0 = no stream
  uint16_t width;
  uint16_t height;
};
void BuildStreamInfoRequest(uint8_t (&buf)[kStreamInfoRequestSize]);
StreamInfo StreamInfoOfReply(const uint8_t (&buf)[kStreamInfoRequestSize]);

// --- Capture dialog request ---------------------------------------------------

// One still: the whole still buffer is the request; the header goes at its
// start (GET id 34) and bytes 24 to 39 are zeroed. False when len < 40.
constexpr size_t kStillHeaderSize = 40;
bool BuildStillRequest(uint8_t* buf, size_t len);

}  // namespace z9
