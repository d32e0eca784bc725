// The TWAIN states a source passes through (3: loaded, 4: open, 5: enabled,
// 6: a transfer is ready, 7: transferring) and the states in which each
// triplet the source knows is allowed.
#pragma once

#include "twain_types.h"

namespace z9cam {

enum TwainState : int {
  kStateLoaded = 3,
  kStateOpen = 4,
  kStateEnabled = 5,
  kStateXferReady = 6,
  kStateTransferring = 7,
};

// TWCC_SUCCESS when the triplet may be sent in `state`; TWCC_SEQERROR when it
// is known but not in this state; TWCC_BADPROTOCOL when the source does not
// know it at all.
twain::TW_UINT16 CheckTriplet(int state, twain::TW_UINT32 dg, twain::TW_UINT16 dat, twain::TW_UINT16 msg);

}  // namespace z9cam
