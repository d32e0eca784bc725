#include "capabilities.h"

#include <cmath>
#include <cstring>

namespace z9cam {

using namespace twain;

namespace {

enum class Kind { kEnumeration, kOneValue, kArray };

double UnitsPerInch(TW_UINT16 units) {
  switch (units) {
    case TWUN_CENTIMETERS: return 2.54;
    case TWUN_PICAS: return 6.0;
    case TWUN_POINTS: return 72.0;
    case TWUN_TWIPS: return 1440.0;
    case TWUN_PIXELS: return Capabilities::kDotsPerInch;
    default: return 1.0;
  }
}

void PutItem(std::vector<uint8_t>* out, TW_UINT16 itemType, uint32_t value) {
  const size_t n = ItemSize(itemType);
  for (size_t i = 0; i < n; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

template <class T>
void PutStruct(std::vector<uint8_t>* out, const T& s) {
  const size_t at = out->size();
  out->resize(at + sizeof s);
  std::memcpy(out->data() + at, &s, sizeof s);
}

std::vector<uint8_t> OneValue(TW_UINT16 itemType, uint32_t value) {
  TW_ONEVALUE v = {};
  v.ItemType = itemType;
  v.Item = value;
  std::vector<uint8_t> out;
  PutStruct(&out, v);
  return out;
}

std::vector<uint8_t> Enumeration(TW_UINT16 itemType, const std::vector<uint32_t>& values, size_t current,
                                 size_t def) {
  TW_ENUMERATION_HEAD h = {};
  h.ItemType = itemType;
  h.NumItems = static_cast<TW_UINT32>(values.size());
  h.CurrentIndex = static_cast<TW_UINT32>(current);
  h.DefaultIndex = static_cast<TW_UINT32>(def);
  std::vector<uint8_t> out;
  PutStruct(&out, h);
  for (uint32_t v : values) PutItem(&out, itemType, v);
  return out;
}

std::vector<uint8_t> Array(TW_UINT16 itemType, const std::vector<uint32_t>& values) {
  TW_ARRAY_HEAD h = {};
  h.ItemType = itemType;
  h.NumItems = static_cast<TW_UINT32>(values.size());
  std::vector<uint8_t> out;
  PutStruct(&out, h);
  for (uint32_t v : values) PutItem(&out, itemType, v);
  return out;
}

uint32_t Fix(double value) { return Fix32Bits(ToFix32(value)); }

CapAnswer Fail(TW_UINT16 cc) {
  CapAnswer a;
  a.rc = TWRC_FAILURE;
  a.cc = cc;
  return a;
}

}  // namespace

struct CapEntry {
  TW_UINT16 cap;
  TW_UINT16 itemType;
  Kind kind;
  bool settable;
};

namespace {
// Every capability the source answers, in CAP_SUPPORTEDCAPS order.
constexpr CapEntry kTable[] = {
    {CAP_SUPPORTEDCAPS, TWTY_UINT16, Kind::kArray, false},
    {CAP_XFERCOUNT, TWTY_INT16, Kind::kOneValue, true},
    {CAP_UICONTROLLABLE, TWTY_BOOL, Kind::kOneValue, false},
    {CAP_DEVICEONLINE, TWTY_BOOL, Kind::kOneValue, false},
    {CAP_INDICATORS, TWTY_BOOL, Kind::kOneValue, true},
    {ICAP_XFERMECH, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_PIXELTYPE, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_BITDEPTH, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_COMPRESSION, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_UNITS, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_XRESOLUTION, TWTY_FIX32, Kind::kEnumeration, true},
    {ICAP_YRESOLUTION, TWTY_FIX32, Kind::kEnumeration, true},
    {ICAP_XNATIVERESOLUTION, TWTY_FIX32, Kind::kOneValue, false},
    {ICAP_YNATIVERESOLUTION, TWTY_FIX32, Kind::kOneValue, false},
    {ICAP_PHYSICALWIDTH, TWTY_FIX32, Kind::kOneValue, false},
    {ICAP_PHYSICALHEIGHT, TWTY_FIX32, Kind::kOneValue, false},
    {ICAP_PIXELFLAVOR, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_PLANARCHUNKY, TWTY_UINT16, Kind::kEnumeration, true},
    {ICAP_BITORDER, TWTY_UINT16, Kind::kEnumeration, true},
};
}  // namespace

size_t ItemSize(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8: return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL: return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32: return 4;
    default: return 0;
  }
}

const std::vector<TW_UINT16>& Capabilities::Supported() {
  static const std::vector<TW_UINT16> caps = [] {
    std::vector<TW_UINT16> v;
    for (const auto& e : kTable) v.push_back(e.cap);
    return v;
  }();
  return caps;
}

const Capabilities::Entry* Capabilities::Find(TW_UINT16 cap) {
  for (const auto& e : kTable)
    if (e.cap == cap) return &e;
  return nullptr;
}

void Capabilities::ResetAll() {
  for (const auto& e : kTable) ResetOne(e.cap);
}

void Capabilities::ResetOne(TW_UINT16 cap) {
  switch (cap) {
    case CAP_XFERCOUNT: xferCount_ = -1; break;
    case CAP_INDICATORS: indicators_ = true; break;
    case ICAP_XFERMECH: xferMech_ = TWSX_NATIVE; break;
    case ICAP_UNITS: units_ = TWUN_INCHES; break;
    default: break;  // one value only
  }
}

void Capabilities::SetPictureSize(int width, int height) {
  if (width > 0 && height > 0) {
    width_ = width;
    height_ = height;
  }
}

double Capabilities::ResolutionInUnits() const { return kDotsPerInch / UnitsPerInch(units_); }
double Capabilities::PixelsInUnits(int pixels) const { return pixels / kDotsPerInch * UnitsPerInch(units_); }

void Capabilities::Values(const Entry& e, std::vector<uint32_t>* values, size_t* current, size_t* def) const {
  *current = 0;
  *def = 0;
  switch (e.cap) {
    case CAP_SUPPORTEDCAPS: values->assign(Supported().begin(), Supported().end()); break;
    case CAP_XFERCOUNT:
      *values = {static_cast<uint16_t>(xferCount_)};
      break;
    case CAP_UICONTROLLABLE: *values = {0}; break;
    case CAP_DEVICEONLINE: *values = {online_ ? 1u : 0u}; break;
    case CAP_INDICATORS: *values = {indicators_ ? 1u : 0u}; break;
    case ICAP_XFERMECH:
      *values = {TWSX_NATIVE, TWSX_MEMORY};
      *current = xferMech_ == TWSX_MEMORY ? 1 : 0;
      break;
    case ICAP_PIXELTYPE: *values = {TWPT_RGB}; break;
    case ICAP_BITDEPTH: *values = {24}; break;
    case ICAP_COMPRESSION: *values = {TWCP_NONE}; break;
    case ICAP_UNITS:
      *values = {TWUN_INCHES, TWUN_CENTIMETERS, TWUN_PICAS, TWUN_POINTS, TWUN_TWIPS, TWUN_PIXELS};
      *current = units_;
      break;
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION:
    case ICAP_XNATIVERESOLUTION:
    case ICAP_YNATIVERESOLUTION: *values = {Fix(ResolutionInUnits())}; break;
    case ICAP_PHYSICALWIDTH: *values = {Fix(PixelsInUnits(width_))}; break;
    case ICAP_PHYSICALHEIGHT: *values = {Fix(PixelsInUnits(height_))}; break;
    case ICAP_PIXELFLAVOR: *values = {TWPF_CHOCOLATE}; break;
    case ICAP_PLANARCHUNKY: *values = {TWPC_CHUNKY}; break;
    case ICAP_BITORDER: *values = {TWBO_MSBFIRST}; break;
    default: values->clear(); break;
  }
}

CapAnswer Capabilities::Handle(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 conType, const void* in, size_t inSize) {
  const Entry* e = Find(cap);
  if (e == nullptr) return Fail(TWCC_CAPUNSUPPORTED);
  CapAnswer a;
  if (msg == MSG_QUERYSUPPORT) {
    TW_INT32 ops = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    if (e->settable) ops |= TWQC_SET | TWQC_RESET;
    a.conType = TWON_ONEVALUE;
    a.container = OneValue(TWTY_INT32, static_cast<uint32_t>(ops));
    return a;
  }
  if (msg == MSG_SET || msg == MSG_RESET) {
    if (!e->settable) return Fail(TWCC_CAPBADOPERATION);
    if (msg == MSG_SET) {
      a = Set(*e, conType, in, inSize);
      return a;
    }
    ResetOne(cap);
    msg = MSG_GET;  // a reset answers with the container of MSG_GET
  }
  std::vector<uint32_t> values;
  size_t current = 0, def = 0;
  Values(*e, &values, &current, &def);
  if (e->kind == Kind::kArray) {
    a.conType = TWON_ARRAY;
    a.container = Array(e->itemType, values);
    return a;
  }
  switch (msg) {
    case MSG_GET:
      if (e->kind == Kind::kEnumeration) {
        a.conType = TWON_ENUMERATION;
        a.container = Enumeration(e->itemType, values, current, def);
      } else {
        a.conType = TWON_ONEVALUE;
        a.container = OneValue(e->itemType, values[current]);
      }
      return a;
    case MSG_GETCURRENT:
      a.conType = TWON_ONEVALUE;
      a.container = OneValue(e->itemType, values[current]);
      return a;
    case MSG_GETDEFAULT: {
      // The default of a changeable one-value capability is its reset value.
      uint32_t v = values[def];
      if (cap == CAP_XFERCOUNT) v = 0xffff;
      if (cap == CAP_INDICATORS) v = 1;
      if (cap == ICAP_XRESOLUTION || cap == ICAP_YRESOLUTION) v = values[0];
      a.conType = TWON_ONEVALUE;
      a.container = OneValue(e->itemType, v);
      return a;
    }
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

CapAnswer Capabilities::Set(const Entry& e, TW_UINT16 conType, const void* in, size_t inSize) {
  if (in == nullptr || conType != TWON_ONEVALUE || inSize < sizeof(TW_ONEVALUE)) return Fail(TWCC_BADVALUE);
  TW_ONEVALUE v;
  std::memcpy(&v, in, sizeof v);
  if (v.ItemType != e.itemType) return Fail(TWCC_BADVALUE);
  const size_t size = ItemSize(e.itemType);
  const uint32_t item = size >= 4 ? v.Item : v.Item & ((1u << (8 * size)) - 1);
  CapAnswer ok;
  switch (e.cap) {
    case CAP_XFERCOUNT: {
      const TW_INT16 count = static_cast<TW_INT16>(item);
      if (count != -1 && count < 1) return Fail(TWCC_BADVALUE);
      xferCount_ = count;
      return ok;
    }
    case CAP_INDICATORS:
      if (item > 1) return Fail(TWCC_BADVALUE);
      indicators_ = item == 1;
      return ok;
    case ICAP_XFERMECH:
      if (item != TWSX_NATIVE && item != TWSX_MEMORY) return Fail(TWCC_BADVALUE);
      xferMech_ = static_cast<TW_UINT16>(item);
      return ok;
    case ICAP_UNITS:
      if (item > TWUN_PIXELS) return Fail(TWCC_BADVALUE);
      units_ = static_cast<TW_UINT16>(item);
      return ok;
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: {
      // One resolution: any positive value is rounded to it.
      const double wanted = FromFix32(Fix32FromBits(item));
      if (!(wanted > 0)) return Fail(TWCC_BADVALUE);
      if (item != Fix(ResolutionInUnits())) ok.rc = TWRC_CHECKSTATUS;
      return ok;
    }
    default: {
      std::vector<uint32_t> values;
      size_t current = 0, def = 0;
      Values(e, &values, &current, &def);
      for (uint32_t offered : values)
        if (offered == item) return ok;
      return Fail(TWCC_BADVALUE);
    }
  }
}

}  // namespace z9cam
