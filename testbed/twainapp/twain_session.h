// The bench's TWAIN application side: everything goes through the source
// manager's DSM_Entry (twain_32.dll), as an imaging application does it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "twain_types.h"

namespace z9bench {

class TwainSession {
 public:
  TwainSession();
  ~TwainSession();  // closes what is still open, frees the manager
  TwainSession(const TwainSession&) = delete;
  TwainSession& operator=(const TwainSession&) = delete;

  // Loads twain_32.dll and opens the manager with a window of the session's
  // own. `twain2` marks the application as a 2.x one (DF_APP2).
  bool OpenManager(bool twain2 = false);
  void CloseManager();

  // A triplet to the manager (no destination) or to the open source.
  twain::TW_UINT16 ToManager(twain::TW_UINT32 dg, twain::TW_UINT16 dat, twain::TW_UINT16 msg, void* data);
  twain::TW_UINT16 ToSource(twain::TW_UINT32 dg, twain::TW_UINT16 dat, twain::TW_UINT16 msg, void* data);
  // DAT_STATUS of the source (or of the manager).
  twain::TW_UINT16 SourceCondition();
  twain::TW_UINT16 ManagerCondition();

  std::vector<twain::TW_IDENTITY> ListSources();
  twain::TW_UINT16 OpenSource(const char* productName);
  twain::TW_UINT16 CloseSource();
  // Hands the source the manager's own entry, as a 2.x manager does.
  twain::TW_UINT16 GiveSourceManagerEntry();

  // A capability request; the returned container is copied out and freed.
  twain::TW_UINT16 Capability(twain::TW_UINT16 msg, twain::TW_UINT16 cap, twain::TW_UINT16* conType,
                              std::vector<uint8_t>* container);
  // MSG_SET with the given container bytes (a TW_ONEVALUE unless told).
  twain::TW_UINT16 SetCapability(twain::TW_UINT16 cap, twain::TW_UINT16 conType, const std::vector<uint8_t>& bytes);
  twain::TW_UINT16 SetOneValue(twain::TW_UINT16 cap, twain::TW_UINT16 itemType, uint32_t value);

  twain::TW_UINT16 Enable(bool showUI);
  twain::TW_UINT16 Disable();

  // Runs the thread's messages through DAT_EVENT until the source sends a
  // notice (MSG_XFERREADY, MSG_CLOSEDSREQ) or the time is up (MSG_NULL).
  twain::TW_UINT16 WaitForNotice(DWORD timeoutMs);
  // Runs messages through DAT_EVENT for a while, counting notices.
  int PumpEvents(DWORD ms, std::vector<twain::TW_UINT16>* notices = nullptr);

  // A native transfer: the DIB, its block freed. TWRC_XFERDONE on success.
  twain::TW_UINT16 NativeTransfer(std::vector<uint8_t>* dib);
  // A memory transfer into buffers of `bufferSize` bytes, the picture
  // rebuilt as a DIB; `strips` counts the calls.
  twain::TW_UINT16 MemoryTransfer(uint32_t bufferSize, std::vector<uint8_t>* dib, int* strips);
  twain::TW_UINT16 EndTransfer(twain::TW_UINT16* count);

  HWND Window() const { return window_; }
  twain::TW_IDENTITY& App() { return app_; }
  twain::TW_IDENTITY& Source() { return source_; }

 private:
  HMODULE library_ = nullptr;
  twain::DSMENTRYPROC entry_ = nullptr;
  HWND window_ = nullptr;
  bool managerOpen_ = false;
  bool sourceOpen_ = false;
  twain::TW_IDENTITY app_ = {};
  twain::TW_IDENTITY source_ = {};
};

// A standard DIB (40-byte header, bottom-up blue-green-red rows padded to four
// bytes) from top-down red-green-blue rows.
std::vector<uint8_t> DibFromTopDownRgb(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height);

}  // namespace z9bench
