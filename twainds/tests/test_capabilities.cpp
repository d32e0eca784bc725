// The capabilities: operations, containers byte for byte, values accepted,
// rounded and refused.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capabilities.h"

namespace {

using namespace twain;
using z9cam::CapAnswer;
using z9cam::Capabilities;

std::vector<uint8_t> OneValueBytes(TW_UINT16 itemType, uint32_t item) {
  TW_ONEVALUE v = {itemType, item};
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
  return std::vector<uint8_t>(p, p + sizeof v);
}

CapAnswer Set(Capabilities& caps, TW_UINT16 cap, TW_UINT16 itemType, uint32_t item, TW_UINT16 conType = TWON_ONEVALUE) {
  const std::vector<uint8_t> in = OneValueBytes(itemType, item);
  return caps.Handle(MSG_SET, cap, conType, in.data(), in.size());
}

TW_UINT32 OneValueItem(const CapAnswer& a) {
  TW_ONEVALUE v = {};
  if (a.container.size() >= sizeof v) std::memcpy(&v, a.container.data(), sizeof v);
  return v.Item;
}

bool ReadOnly(TW_UINT16 cap) {
  return cap == CAP_SUPPORTEDCAPS || cap == CAP_UICONTROLLABLE || cap == CAP_DEVICEONLINE ||
         cap == ICAP_PHYSICALWIDTH || cap == ICAP_PHYSICALHEIGHT || cap == ICAP_XNATIVERESOLUTION ||
         cap == ICAP_YNATIVERESOLUTION;
}

TEST(Capabilities, EveryOperationOnEveryCapability) {
  Capabilities caps;
  for (TW_UINT16 cap : Capabilities::Supported()) {
    const bool arrayCap = cap == CAP_SUPPORTEDCAPS;
    const bool enumCap = cap >= ICAP_COMPRESSION && cap <= ICAP_XFERMECH ? true
                         : cap == ICAP_BITDEPTH || cap == ICAP_XRESOLUTION || cap == ICAP_YRESOLUTION ||
                               cap == ICAP_PIXELFLAVOR || cap == ICAP_PLANARCHUNKY || cap == ICAP_BITORDER;
    const TW_UINT16 getType = arrayCap ? TWON_ARRAY : enumCap ? TWON_ENUMERATION : TWON_ONEVALUE;
    const struct {
      TW_UINT16 msg;
      TW_UINT16 conType;
    } reads[] = {{MSG_GET, getType},
                 {MSG_GETCURRENT, arrayCap ? TWON_ARRAY : TWON_ONEVALUE},
                 {MSG_GETDEFAULT, arrayCap ? TWON_ARRAY : TWON_ONEVALUE},
                 {MSG_QUERYSUPPORT, TWON_ONEVALUE}};
    for (const auto& r : reads) {
      const CapAnswer a = caps.Handle(r.msg, cap, TWON_DONTCARE16, nullptr, 0);
      EXPECT_EQ(a.rc, TWRC_SUCCESS) << "cap 0x" << std::hex << cap << " msg " << r.msg;
      EXPECT_EQ(a.conType, r.conType) << "cap 0x" << std::hex << cap << " msg " << r.msg;
    }
    const TW_INT32 ops = static_cast<TW_INT32>(OneValueItem(caps.Handle(MSG_QUERYSUPPORT, cap, 0, nullptr, 0)));
    const TW_INT32 readOps = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    EXPECT_EQ(ops, ReadOnly(cap) ? readOps : readOps | TWQC_SET | TWQC_RESET) << "cap 0x" << std::hex << cap;
    const CapAnswer reset = caps.Handle(MSG_RESET, cap, 0, nullptr, 0);
    EXPECT_EQ(reset.rc, ReadOnly(cap) ? TWRC_FAILURE : TWRC_SUCCESS) << "reset 0x" << std::hex << cap;
    if (ReadOnly(cap)) {
      EXPECT_EQ(reset.cc, TWCC_CAPBADOPERATION) << "reset 0x" << std::hex << cap;
    } else {
      EXPECT_EQ(reset.conType, getType) << "reset 0x" << std::hex << cap;
    }
  }
  for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_QUERYSUPPORT, MSG_RESET, MSG_SET}) {
    const CapAnswer a = caps.Handle(msg, 0x1234, TWON_ONEVALUE, nullptr, 0);
    EXPECT_EQ(a.rc, TWRC_FAILURE);
    EXPECT_EQ(a.cc, TWCC_CAPUNSUPPORTED) << "msg " << msg;
  }
}

TEST(Capabilities, ContainersByteForByte) {
  Capabilities caps;
  const CapAnswer mech = caps.Handle(MSG_GET, ICAP_XFERMECH, 0, nullptr, 0);
  const std::vector<uint8_t> mechBytes = {4, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0};
  EXPECT_EQ(mech.container, mechBytes);
  const CapAnswer count = caps.Handle(MSG_GETCURRENT, CAP_XFERCOUNT, 0, nullptr, 0);
  const std::vector<uint8_t> countBytes = {1, 0, 0xff, 0xff, 0, 0};
  EXPECT_EQ(count.container, countBytes);
  const CapAnswer res = caps.Handle(MSG_GETCURRENT, ICAP_XRESOLUTION, 0, nullptr, 0);
  const std::vector<uint8_t> resBytes = {7, 0, 72, 0, 0, 0};
  EXPECT_EQ(res.container, resBytes);
  const CapAnswer list = caps.Handle(MSG_GET, CAP_SUPPORTEDCAPS, 0, nullptr, 0);
  ASSERT_EQ(list.container.size(), 6 + 2 * Capabilities::Supported().size());
  EXPECT_EQ(list.container[0], TWTY_UINT16);
  EXPECT_EQ(list.container[2], Capabilities::Supported().size());
  EXPECT_EQ(list.container[6] | (list.container[7] << 8), CAP_SUPPORTEDCAPS);
}

TEST(Capabilities, SetAcceptsOfferedValuesRoundsResolutionsAndRefusesTheRest) {
  const struct {
    TW_UINT16 cap;
    TW_UINT16 itemType;
    uint32_t item;
    TW_UINT16 conType;
    TW_UINT16 rc;
    TW_UINT16 cc;
  } cases[] = {
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_XFERMECH, TWTY_UINT32, TWSX_MEMORY, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY, TWON_ENUMERATION, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_PIXELTYPE, TWTY_UINT16, 0, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_BITDEPTH, TWTY_UINT16, 24, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_BITDEPTH, TWTY_UINT16, 8, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_COMPRESSION, TWTY_UINT16, TWCP_NONE, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_PLANARCHUNKY, TWTY_UINT16, 1, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_BITORDER, TWTY_UINT16, TWBO_MSBFIRST, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_CHOCOLATE, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_UNITS, TWTY_UINT16, 6, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {CAP_XFERCOUNT, TWTY_INT16, 1, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {CAP_XFERCOUNT, TWTY_INT16, 0xffff, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {CAP_XFERCOUNT, TWTY_INT16, 0, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {CAP_XFERCOUNT, TWTY_INT16, 0xfffe, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {CAP_INDICATORS, TWTY_BOOL, 0, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {CAP_INDICATORS, TWTY_BOOL, 2, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_XRESOLUTION, TWTY_FIX32, 72, TWON_ONEVALUE, TWRC_SUCCESS, 0},
      {ICAP_YRESOLUTION, TWTY_FIX32, 300, TWON_ONEVALUE, TWRC_CHECKSTATUS, 0},
      {ICAP_XRESOLUTION, TWTY_FIX32, 0, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {ICAP_XRESOLUTION, TWTY_FIX32, 0xfffb, TWON_ONEVALUE, TWRC_FAILURE, TWCC_BADVALUE},
      {CAP_UICONTROLLABLE, TWTY_BOOL, 0, TWON_ONEVALUE, TWRC_FAILURE, TWCC_CAPBADOPERATION},
      {CAP_SUPPORTEDCAPS, TWTY_UINT16, 1, TWON_ONEVALUE, TWRC_FAILURE, TWCC_CAPBADOPERATION},
      {ICAP_PHYSICALWIDTH, TWTY_FIX32, 1, TWON_ONEVALUE, TWRC_FAILURE, TWCC_CAPBADOPERATION},
  };
  for (const auto& c : cases) {
    Capabilities caps;
    const CapAnswer a = Set(caps, c.cap, c.itemType, c.item, c.conType);
    EXPECT_EQ(a.rc, c.rc) << "cap 0x" << std::hex << c.cap << " item 0x" << c.item;
    if (c.rc == TWRC_FAILURE) {
      EXPECT_EQ(a.cc, c.cc) << "cap 0x" << std::hex << c.cap << " item 0x" << c.item;
    }
  }
  Capabilities caps;
  const std::vector<uint8_t> shortIn = {4, 0, 2};
  EXPECT_EQ(caps.Handle(MSG_SET, ICAP_XFERMECH, TWON_ONEVALUE, shortIn.data(), shortIn.size()).cc, TWCC_BADVALUE);
  EXPECT_EQ(caps.Handle(MSG_SET, ICAP_XFERMECH, TWON_ONEVALUE, nullptr, 6).cc, TWCC_BADVALUE);
}

TEST(Capabilities, SetValuesHoldUntilResetAndDefaultsStay) {
  Capabilities caps;
  ASSERT_EQ(Set(caps, ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY).rc, TWRC_SUCCESS);
  ASSERT_EQ(Set(caps, CAP_XFERCOUNT, TWTY_INT16, 1).rc, TWRC_SUCCESS);
  EXPECT_EQ(caps.XferMech(), TWSX_MEMORY);
  EXPECT_EQ(caps.XferCount(), 1);
  EXPECT_EQ(OneValueItem(caps.Handle(MSG_GETCURRENT, ICAP_XFERMECH, 0, nullptr, 0)), TWSX_MEMORY);
  EXPECT_EQ(OneValueItem(caps.Handle(MSG_GETDEFAULT, ICAP_XFERMECH, 0, nullptr, 0)), TWSX_NATIVE);
  EXPECT_EQ(OneValueItem(caps.Handle(MSG_GETDEFAULT, CAP_XFERCOUNT, 0, nullptr, 0)), 0xffffu);
  const CapAnswer reset = caps.Handle(MSG_RESET, ICAP_XFERMECH, 0, nullptr, 0);
  EXPECT_EQ(reset.rc, TWRC_SUCCESS);
  EXPECT_EQ(caps.XferMech(), TWSX_NATIVE);
  caps.ResetAll();
  EXPECT_EQ(caps.XferCount(), -1);
}

TEST(Capabilities, SizesAndResolutionsFollowTheUnits) {
  const struct {
    TW_UINT16 units;
    double resolution;
    double width;
  } cases[] = {
      {TWUN_INCHES, 72.0, 640 / 72.0},  {TWUN_CENTIMETERS, 72 / 2.54, 640 / 72.0 * 2.54},
      {TWUN_POINTS, 1.0, 640.0},        {TWUN_TWIPS, 0.05, 640 * 20.0},
      {TWUN_PIXELS, 1.0, 640.0},        {TWUN_PICAS, 12.0, 640 / 12.0},
  };
  for (const auto& c : cases) {
    Capabilities caps;
    caps.SetPictureSize(640, 480);
    ASSERT_EQ(Set(caps, ICAP_UNITS, TWTY_UINT16, c.units).rc, TWRC_SUCCESS);
    const double width = FromFix32(Fix32FromBits(OneValueItem(caps.Handle(MSG_GETCURRENT, ICAP_PHYSICALWIDTH, 0, nullptr, 0))));
    const double res = FromFix32(Fix32FromBits(OneValueItem(caps.Handle(MSG_GETCURRENT, ICAP_XRESOLUTION, 0, nullptr, 0))));
    EXPECT_NEAR(width, c.width, 1.0 / 32768) << "units " << c.units;
    EXPECT_NEAR(res, c.resolution, 1.0 / 32768) << "units " << c.units;
    // The offered resolution itself is taken without rounding.
    EXPECT_EQ(Set(caps, ICAP_XRESOLUTION, TWTY_FIX32, Fix32Bits(ToFix32(c.resolution))).rc, TWRC_SUCCESS)
        << "units " << c.units;
  }
}

}  // namespace
