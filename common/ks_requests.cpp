#include "ks_requests.h"

#include <cstring>

namespace z9 {

bool operator==(const Guid& a, const Guid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void PutGuid(uint8_t* p, const Guid& g) {
  PutU32(p, g.data1);
  PutU16(p + 4, g.data2);
  PutU16(p + 6, g.data3);
  std::memcpy(p + 8, g.data4, 8);
}

Guid GetGuid(const uint8_t* p) {
  Guid g;
  g.data1 = GetU32(p);
  g.data2 = GetU16(p + 4);
  g.data3 = GetU16(p + 6);
  std::memcpy(g.data4, p + 8, 8);
  return g;
}

void PutKsProperty(uint8_t* p, const Guid& set, uint32_t id, uint32_t flags) {
  PutGuid(p, set);
  PutU32(p + 16, id);
  PutU32(p + 20, flags);
}

KsPropertyHeader GetKsProperty(const uint8_t* p) { return {GetGuid(p), GetU32(p + 16), GetU32(p + 20)}; }

void BuildButtonStateRequest(uint8_t (&buf)[kButtonRequestSize]) {
  std::memset(buf, 0, sizeof buf);
  PutKsProperty(buf, kExtensionPropertySet, kExtButtonState, kKsPropertyTypeGet);
  // A driver that succeeds without answering thus reports "no response".
  buf[24] = kButtonNoResponse;
}

void BuildStillBufferSizeRequest(uint8_t (&buf)[kStillSizeRequestSize]) {
  std::memset(buf, 0, sizeof buf);
  PutKsProperty(buf, kExtensionPropertySet, kExtStillBufferSize, kKsPropertyTypeGet);
}

namespace {
// Bytes 24..31 of a register command: phase, direction, command, 1, 1, 0, address.
void PutRegisterCommand(uint8_t* buf, uint8_t direction, uint8_t command, uint16_t address) {
  buf[24] = 1;  // phase: command
  buf[25] = direction;
  buf[26] = command;
  buf[27] = 1;
  buf[28] = 1;
  buf[29] = 0;
  PutU16(buf + 30, address);
}
}  // namespace

void BuildRegisterReadCommand(uint8_t (&buf)[kRegisterRequestSize], uint16_t address) {
  std::memset(buf, 0, sizeof buf);
  PutKsProperty(buf, kExtensionPropertySet, kExtRegister, kKsPropertyTypeSet);
  PutRegisterCommand(buf, 0, kRegisterCommandRead, address);
}

void TurnRegisterReadIntoData(uint8_t (&buf)[kRegisterRequestSize]) {
  PutU32(buf + 20, kKsPropertyTypeGet);
  buf[24] = 0;  // phase: data
}

void BuildRegisterWriteCommand(uint8_t (&buf)[kRegisterRequestSize], uint16_t address, uint8_t value) {
  std::memset(buf, 0, sizeof buf);
  PutKsProperty(buf, kExtensionPropertySet, kExtRegister, kKsPropertyTypeSet);
  PutRegisterCommand(buf, 1, kRegisterCommandWrite, address);
  buf[kRegisterValueOffset] = value;
}

void TurnRegisterWriteIntoData(uint8_t (&buf)[kRegisterRequestSize]) { buf[24] = 0; }

void BuildStandardRequest(uint8_t (&buf)[kStandardRequestSize], const Guid& set, uint32_t id, uint32_t flags,
                          const StandardControlValue& v) {
  std::memset(buf, 0, sizeof buf);
  PutKsProperty(buf, set, id, flags);
  PutI32(buf + 24, v.value);
  PutI32(buf + 28, v.flags);
  PutI32(buf + 32, v.capabilities);
}

StandardControlValue StandardValueOfReply(const uint8_t (&buf)[kStandardRequestSize]) {
  return {GetI32(buf + 24), GetI32(buf + 28), GetI32(buf + 32)};
}

PropertyDescription DescriptionOfReply(const uint8_t* data) {
  // AccessFlags, DescriptionSize, PropTypeSet (24), MembersListCount, Reserved.
  return {GetU32(data), GetU32(data + 4), GetU32(data + 32)};
}

SteppingRange SteppingOfReply(const uint8_t* data) {
  const uint8_t* s = data + kDescriptionSize + kMembersHeaderSize;
  return {GetU32(s), GetI32(s + 8), GetI32(s + 12)};
}

int32_t DefaultValueOfReply(const uint8_t* data) { return GetI32(data + kDescriptionSize + kMembersHeaderSize); }

void PutDescription(uint8_t* data, uint32_t accessFlags, uint32_t descriptionSize, uint32_t membersListCount) {
  std::memset(data, 0, kDescriptionSize);
  PutU32(data, accessFlags);
  PutU32(data + 4, descriptionSize);
  PutU32(data + 32, membersListCount);
}

void PutMembersHeader(uint8_t* data, uint32_t membersFlags, uint32_t membersSize, uint32_t membersCount,
                      uint32_t flags) {
  PutU32(data, membersFlags);
  PutU32(data + 4, membersSize);
  PutU32(data + 8, membersCount);
  PutU32(data + 12, flags);
}

void PutStepping(uint8_t* data, uint32_t steppingDelta, int32_t minimum, int32_t maximum) {
  PutU32(data, steppingDelta);
  PutU32(data + 4, 0);
  PutI32(data + 8, minimum);
  PutI32(data + 12, maximum);
}

void PutControlInfo(uint8_t* p, const ControlInfo& c) {
  const int32_t fields[8] = {c.Supported, c.Flags, c.Capabilities, c.Minimum, c.Maximum, c.Step, c.Default, c.Value};
  for (int i = 0; i < 8; ++i) PutI32(p + 4 * i, fields[i]);
}

ControlInfo GetControlInfo(const uint8_t* p) {
  ControlInfo c;
  c.Supported = GetI32(p);
  c.Flags = GetI32(p + 4);
  c.Capabilities = GetI32(p + 8);
  c.Minimum = GetI32(p + 12);
  c.Maximum = GetI32(p + 16);
  c.Step = GetI32(p + 20);
  c.Default = GetI32(p + 24);
  c.Value = GetI32(p + 28);
  return c;
}

void BuildControlRequest(uint8_t (&buf)[kControlRequestSize], uint32_t id, uint32_t flags, const ControlInfo& info) {
  PutKsProperty(buf, kControlPropertySet, id, flags);
  PutControlInfo(buf + kKsPropertySize, info);
}

ControlInfo ControlInfoOfReply(const uint8_t (&buf)[kControlRequestSize]) { return GetControlInfo(buf + kKsPropertySize); }

void BuildStreamInfoRequest(uint8_t (&buf)[kStreamInfoRequestSize]) {
  std::memset(buf, 0, sizeof buf);
  PutKsProperty(buf, kExtensionPropertySet, kExtStreamInfo, kKsPropertyTypeGet);
}

StreamInfo StreamInfoOfReply(const uint8_t (&buf)[kStreamInfoRequestSize]) {
  return {buf[24], GetU16(buf + 26), GetU16(buf + 28)};
}

bool BuildStillRequest(uint8_t* buf, size_t len) {
  if (buf == nullptr || len < kStillHeaderSize) return false;
  PutKsProperty(buf, kExtensionPropertySet, kExtStill, kKsPropertyTypeGet);
  std::memset(buf + kKsPropertySize, 0, kStillHeaderSize - kKsPropertySize);
  return true;
}

}  // namespace z9
