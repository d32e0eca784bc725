// The capabilities the camera source offers: their values, which of them an
// application may change, and the containers every operation answers with.
// Portable: containers are built as bytes; the caller moves them into the
// global memory the application receives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "twain_types.h"

namespace z9cam {

struct CapEntry;  // one line of the capability table

struct CapAnswer {
  twain::TW_UINT16 rc = twain::TWRC_SUCCESS;
  twain::TW_UINT16 cc = twain::TWCC_SUCCESS;
  twain::TW_UINT16 conType = twain::TWON_DONTCARE16;
  std::vector<uint8_t> container;  // empty: nothing to hand back
};

class Capabilities {
 public:
  Capabilities() { ResetAll(); }

  // Every settable capability back to its default.
  void ResetAll();

  // Facts from outside that the read-only capabilities report.
  void SetPictureSize(int width, int height);
  void SetDeviceOnline(bool online) { online_ = online; }

  // One DAT_CAPABILITY request. `in` is the application's container for
  // MSG_SET (inSize bytes), ignored otherwise.
  CapAnswer Handle(twain::TW_UINT16 msg, twain::TW_UINT16 cap, twain::TW_UINT16 conType, const void* in,
                   size_t inSize);

  twain::TW_UINT16 XferMech() const { return xferMech_; }
  twain::TW_INT16 XferCount() const { return xferCount_; }
  twain::TW_UINT16 Units() const { return units_; }
  bool Indicators() const { return indicators_; }
  int PictureWidth() const { return width_; }
  int PictureHeight() const { return height_; }

  // Measures in the current units: pixels of the picture's resolution per unit
  // and a length of `pixels` pixels.
  double ResolutionInUnits() const;
  double PixelsInUnits(int pixels) const;

  // The capability ids, in the order CAP_SUPPORTEDCAPS lists them.
  static const std::vector<twain::TW_UINT16>& Supported();

  static constexpr double kDotsPerInch = 72.0;

 private:
  using Entry = CapEntry;
  static const Entry* Find(twain::TW_UINT16 cap);
  // The offered values of a capability, its current and default positions.
  void Values(const Entry& e, std::vector<uint32_t>* values, size_t* current, size_t* def) const;
  CapAnswer Set(const Entry& e, twain::TW_UINT16 conType, const void* in, size_t inSize);
  void ResetOne(twain::TW_UINT16 cap);

  twain::TW_UINT16 xferMech_ = twain::TWSX_NATIVE;
  twain::TW_INT16 xferCount_ = -1;
  twain::TW_UINT16 units_ = twain::TWUN_INCHES;
  bool indicators_ = true;
  bool online_ = true;
  int width_ = 640;
  int height_ = 480;
};

// Bytes of one item of a TWAIN item type (0 for types the source never uses).
size_t ItemSize(twain::TW_UINT16 itemType);

}  // namespace z9cam
