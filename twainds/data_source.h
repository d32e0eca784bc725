// The camera's TWAIN data source: one connection at a time, states 3 to 7,
// every triplet checked against the state, the capabilities, the capture
// dialog as its user interface and the pictures it hands over.
#pragma once
#include <windows.h>

#include "capabilities.h"
#include "host_link.h"
#include "state_machine.h"
#include "transfer_queue.h"
#include "twain_types.h"

namespace z9cam {

class DataSource : private HostEvents {
 public:
  explicit DataSource(HMODULE module) : module_(module) {}
  ~DataSource() = default;

  twain::TW_UINT16 Entry(twain::TW_IDENTITY* origin, twain::TW_UINT32 dg, twain::TW_UINT16 dat,
                         twain::TW_UINT16 msg, twain::TW_MEMREF data);

  int State() const { return state_; }

 private:
  twain::TW_UINT16 Dispatch(twain::TW_IDENTITY* origin, twain::TW_UINT32 dg, twain::TW_UINT16 dat,
                            twain::TW_UINT16 msg, twain::TW_MEMREF data);
  twain::TW_UINT16 Fail(twain::TW_UINT16 cc) {
    condition_ = cc;
    return twain::TWRC_FAILURE;
  }

  twain::TW_UINT16 OpenSource(twain::TW_IDENTITY* origin, twain::TW_IDENTITY* self);
  twain::TW_UINT16 CloseSource();
  twain::TW_UINT16 Capability(twain::TW_UINT16 msg, twain::TW_CAPABILITY* cap);
  twain::TW_UINT16 Enable(twain::TW_USERINTERFACE* ui);
  twain::TW_UINT16 Disable();
  twain::TW_UINT16 ProcessEvent(twain::TW_EVENT* event);
  twain::TW_UINT16 PendingTransfers(twain::TW_UINT16 msg, twain::TW_PENDINGXFERS* pending);
  twain::TW_UINT16 SetupMemory(twain::TW_SETUPMEMXFER* setup);
  twain::TW_UINT16 ImageInfo(twain::TW_IMAGEINFO* info);
  twain::TW_UINT16 ImageLayout(twain::TW_UINT16 msg, twain::TW_IMAGELAYOUT* layout);
  twain::TW_UINT16 NativeTransfer(twain::TW_HANDLE* handle);
  twain::TW_UINT16 MemoryTransfer(twain::TW_IMAGEMEMXFER* xfer);

  // Pictures the application may still take in this session: the queue, cut
  // by what CAP_XFERCOUNT leaves.
  twain::TW_UINT16 TransfersLeft() const;
  // After a transfer ends or is dropped: back to 5, or 6 with the next one.
  void AfterTransfer();
  // Tells the application about a picture or a close request.
  void Notify(twain::TW_UINT16 notice);
  twain::TW_UINT16 TakeNotice();
  const DibLayout* PictureInHand() const;
  bool UsesManagerCallback() const;
  void SendThroughManager();

  void OnImageInfo(const z9twn::ImageInfo& info) override;
  void OnPicture(HGLOBAL block) override;
  void OnCloseRequest() override;
  void OnWake() override;

  HMODULE module_;
  int state_ = kStateLoaded;
  twain::TW_UINT16 condition_ = twain::TWCC_SUCCESS;
  twain::TW_IDENTITY app_ = {};
  twain::TW_IDENTITY self_ = {};
  twain::DSMENTRYPROC manager_ = nullptr;  // from a 2.x source manager
  Capabilities caps_;
  PictureQueue queue_;
  HostLink host_;
  bool xferReadyDue_ = false;  // a picture waits for its MSG_XFERREADY
  bool closeDue_ = false;      // a close request waits for its MSG_CLOSEDSREQ
  int transfersDone_ = 0;      // in this session, against CAP_XFERCOUNT
  bool frontGone_ = false;  // the picture in transfer has left the queue (native)
  DibLayout current_;        // the picture in transfer
};

}  // namespace z9cam
