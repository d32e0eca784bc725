#include "data_source.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "identity.h"

namespace z9cam {

using namespace twain;

TW_UINT16 DataSource::Entry(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET) {
    if (data == nullptr) return TWRC_FAILURE;
    TW_STATUS* status = static_cast<TW_STATUS*>(data);
    status->ConditionCode = condition_;
    status->Data = 0;
    condition_ = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  // One application at a time.
  if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS && state_ >= kStateOpen)
    return Fail(TWCC_MAXCONNECTIONS);
  const TW_UINT16 check = CheckTriplet(state_, dg, dat, msg);
  if (check != TWCC_SUCCESS) return Fail(check);
  condition_ = TWCC_SUCCESS;
  return Dispatch(origin, dg, dat, msg, data);
}

TW_UINT16 DataSource::Dispatch(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (data == nullptr) return Fail(TWCC_BADVALUE);
  if (dg == DG_IMAGE) {
    switch (dat) {
      case DAT_IMAGEINFO: return ImageInfo(static_cast<TW_IMAGEINFO*>(data));
      case DAT_IMAGELAYOUT: return ImageLayout(msg, static_cast<TW_IMAGELAYOUT*>(data));
      case DAT_IMAGENATIVEXFER: return NativeTransfer(static_cast<TW_HANDLE*>(data));
      case DAT_IMAGEMEMXFER: return MemoryTransfer(static_cast<TW_IMAGEMEMXFER*>(data));
      default: return Fail(TWCC_BADPROTOCOL);
    }
  }
  switch (dat) {
    case DAT_IDENTITY:
      if (msg == MSG_OPENDS) return OpenSource(origin, static_cast<TW_IDENTITY*>(data));
      if (msg == MSG_CLOSEDS) return CloseSource();
      {
        TW_IDENTITY* identity = static_cast<TW_IDENTITY*>(data);
        const TW_UINT32 id = identity->Id;
        FillIdentity(identity, manager_ != nullptr);
        identity->Id = id;
      }
      return TWRC_SUCCESS;
    case DAT_ENTRYPOINT: {
      const TW_ENTRYPOINT* entry = static_cast<const TW_ENTRYPOINT*>(data);
      if (entry->Size < offsetof(TW_ENTRYPOINT, DSM_Entry) + sizeof entry->DSM_Entry || entry->DSM_Entry == nullptr)
        return Fail(TWCC_BADVALUE);
      manager_ = entry->DSM_Entry;
      return TWRC_SUCCESS;
    }
    case DAT_CAPABILITY: return Capability(msg, static_cast<TW_CAPABILITY*>(data));
    case DAT_XFERGROUP: *static_cast<TW_UINT32*>(data) = DG_IMAGE; return TWRC_SUCCESS;
    case DAT_USERINTERFACE:
      return msg == MSG_ENABLEDS ? Enable(static_cast<TW_USERINTERFACE*>(data)) : Disable();
    case DAT_EVENT: return ProcessEvent(static_cast<TW_EVENT*>(data));
    case DAT_PENDINGXFERS: return PendingTransfers(msg, static_cast<TW_PENDINGXFERS*>(data));
    case DAT_SETUPMEMXFER: return SetupMemory(static_cast<TW_SETUPMEMXFER*>(data));
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_UINT16 DataSource::OpenSource(TW_IDENTITY* origin, TW_IDENTITY* self) {
  if (origin == nullptr) return Fail(TWCC_BADVALUE);
  app_ = *origin;
  const TW_UINT32 id = self->Id;
  FillIdentity(self, manager_ != nullptr);
  self->Id = id;
  self_ = *self;
  caps_.ResetAll();
  queue_.Clear();
  xferReadyDue_ = closeDue_ = false;
  state_ = kStateOpen;
  return TWRC_SUCCESS;
}

TW_UINT16 DataSource::CloseSource() {
  host_.Unload();
  queue_.Clear();
  xferReadyDue_ = closeDue_ = false;
  state_ = kStateLoaded;
  return TWRC_SUCCESS;
}

TW_UINT16 DataSource::Capability(TW_UINT16 msg, TW_CAPABILITY* cap) {
  if (cap->Cap == CAP_DEVICEONLINE) caps_.SetDeviceOnline(CameraOnline());
  CapAnswer answer;
  if (msg == MSG_SET) {
    HGLOBAL in = static_cast<HGLOBAL>(cap->hContainer);
    const void* bytes = in != nullptr ? GlobalLock(in) : nullptr;
    const size_t size = bytes != nullptr ? GlobalSize(in) : 0;
    answer = caps_.Handle(msg, cap->Cap, cap->ConType, bytes, size);
    if (bytes != nullptr) GlobalUnlock(in);
    if (answer.rc == TWRC_FAILURE) return Fail(answer.cc);
    return answer.rc;
  }
  answer = caps_.Handle(msg, cap->Cap, cap->ConType, nullptr, 0);
  if (answer.rc == TWRC_FAILURE) return Fail(answer.cc);
  if (!answer.container.empty()) {
    // The application frees the container.
    HGLOBAL out = GlobalAlloc(GHND, answer.container.size());
    void* bytes = out != nullptr ? GlobalLock(out) : nullptr;
    if (bytes == nullptr) {
      if (out != nullptr) GlobalFree(out);
      return Fail(TWCC_LOWMEMORY);
    }
    std::memcpy(bytes, answer.container.data(), answer.container.size());
    GlobalUnlock(out);
    cap->hContainer = out;
    cap->ConType = answer.conType;
  }
  return answer.rc;
}

TW_UINT16 DataSource::Enable(TW_USERINTERFACE* ui) {
  transfersDone_ = 0;
  frontGone_ = false;
  xferReadyDue_ = closeDue_ = false;
  queue_.Clear();
  state_ = kStateEnabled;  // the dialog may hand things over while it opens
  if (!host_.Open(module_, static_cast<HWND>(ui->hParent), this)) {
    state_ = kStateOpen;
    return Fail(TWCC_OPERATIONERROR);
  }
  // The capture dialog is the only way to take a picture: it is shown anyway.
  return ui->ShowUI ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
}

TW_UINT16 DataSource::Disable() {
  host_.Close();
  queue_.Clear();
  xferReadyDue_ = closeDue_ = false;
  state_ = kStateOpen;
  return TWRC_SUCCESS;
}

TW_UINT16 DataSource::ProcessEvent(TW_EVENT* event) {
  event->TWMessage = MSG_NULL;
  const MSG* msg = static_cast<const MSG*>(event->pEvent);
  if (msg == nullptr) return Fail(TWCC_BADVALUE);
  if (host_.IsWake(*msg)) {
    if (UsesManagerCallback())
      SendThroughManager();
    else
      event->TWMessage = TakeNotice();
    if (!xferReadyDue_ && !closeDue_) host_.StopReminding();
    return TWRC_DSEVENT;
  }
  HWND dialog = host_.DialogOf(msg->hwnd);
  if (dialog != nullptr && IsDialogMessageA(dialog, const_cast<MSG*>(msg))) return TWRC_DSEVENT;
  return TWRC_NOTDSEVENT;
}

TW_UINT16 DataSource::TransfersLeft() const {
  size_t n = queue_.Count();
  const int limit = caps_.XferCount();
  if (limit > 0) n = std::min<size_t>(n, static_cast<size_t>(std::max(0, limit - transfersDone_)));
  return static_cast<TW_UINT16>(n);
}

void DataSource::AfterTransfer() {
  frontGone_ = false;
  if (TransfersLeft() > 0) {
    state_ = kStateXferReady;
    return;
  }
  state_ = kStateEnabled;
  // The count the application asked for is reached: nothing more is kept.
  if (caps_.XferCount() > 0 && transfersDone_ >= caps_.XferCount()) queue_.Clear();
  if (!queue_.Empty()) Notify(MSG_XFERREADY);
}

TW_UINT16 DataSource::PendingTransfers(TW_UINT16 msg, TW_PENDINGXFERS* pending) {
  pending->EOJ = 0;
  if (msg == MSG_ENDXFER) {
    if (!frontGone_) queue_.DropFront();
    ++transfersDone_;
    AfterTransfer();
  } else if (msg == MSG_RESET) {
    queue_.Clear();
    AfterTransfer();
  }
  pending->Count = state_ >= kStateXferReady ? TransfersLeft() : 0;
  return TWRC_SUCCESS;
}

const DibLayout* DataSource::PictureInHand() const {
  if (frontGone_) return &current_;
  return queue_.Empty() ? nullptr : &queue_.FrontLayout();
}

TW_UINT16 DataSource::SetupMemory(TW_SETUPMEMXFER* setup) {
  const DibLayout* picture = state_ >= kStateXferReady ? PictureInHand() : nullptr;
  const TW_UINT32 width = picture != nullptr ? picture->width : static_cast<TW_UINT32>(caps_.PictureWidth());
  const TW_UINT32 height = picture != nullptr ? picture->height : static_cast<TW_UINT32>(caps_.PictureHeight());
  const TW_UINT32 row = width * 3;
  setup->MinBufSize = row;
  setup->MaxBufSize = row * height;
  setup->Preferred = std::min(setup->MaxBufSize, std::max<TW_UINT32>(1, 65536 / row) * row);
  return TWRC_SUCCESS;
}

TW_UINT16 DataSource::ImageInfo(TW_IMAGEINFO* info) {
  const DibLayout* picture = PictureInHand();
  if (picture == nullptr) return Fail(TWCC_SEQERROR);
  std::memset(info, 0, sizeof *info);
  info->XResolution = info->YResolution = ToFix32(caps_.ResolutionInUnits());
  info->ImageWidth = static_cast<TW_INT32>(picture->width);
  info->ImageLength = static_cast<TW_INT32>(picture->height);
  info->SamplesPerPixel = 3;
  info->BitsPerSample[0] = info->BitsPerSample[1] = info->BitsPerSample[2] = 8;
  info->BitsPerPixel = 24;
  info->Planar = 0;
  info->PixelType = TWPT_RGB;
  info->Compression = TWCP_NONE;
  return TWRC_SUCCESS;
}

TW_UINT16 DataSource::ImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout) {
  const DibLayout* picture = state_ >= kStateXferReady ? PictureInHand() : nullptr;
  const int width = picture != nullptr ? static_cast<int>(picture->width) : caps_.PictureWidth();
  const int height = picture != nullptr ? static_cast<int>(picture->height) : caps_.PictureHeight();
  TW_IMAGELAYOUT whole = {};
  whole.Frame.Left = whole.Frame.Top = ToFix32(0);
  whole.Frame.Right = ToFix32(caps_.PixelsInUnits(width));
  whole.Frame.Bottom = ToFix32(caps_.PixelsInUnits(height));
  whole.DocumentNumber = whole.PageNumber = whole.FrameNumber = 1;
  if (msg == MSG_SET) {
    const TW_FRAME& f = layout->Frame;
    if (!(FromFix32(f.Right) > FromFix32(f.Left)) || !(FromFix32(f.Bottom) > FromFix32(f.Top)))
      return Fail(TWCC_BADVALUE);
    // The camera always delivers the whole picture.
    const bool same = std::memcmp(&f, &whole.Frame, sizeof f) == 0;
    *layout = whole;
    return same ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
  }
  *layout = whole;
  return TWRC_SUCCESS;
}

TW_UINT16 DataSource::NativeTransfer(TW_HANDLE* handle) {
  if (caps_.XferMech() != TWSX_NATIVE || queue_.Empty()) return Fail(TWCC_SEQERROR);
  const DibLayout layout = queue_.FrontLayout();
  HGLOBAL dib = queue_.TakeFront();
  if (dib == nullptr) return Fail(TWCC_LOWMEMORY);
  *handle = dib;  // the application's from now on
  current_ = layout;
  frontGone_ = true;
  state_ = kStateTransferring;
  return TWRC_XFERDONE;
}

TW_UINT16 DataSource::MemoryTransfer(TW_IMAGEMEMXFER* xfer) {
  if (caps_.XferMech() != TWSX_MEMORY || frontGone_ || queue_.Empty()) return Fail(TWCC_SEQERROR);
  const DibLayout& layout = queue_.FrontLayout();
  uint32_t& done = queue_.FrontRowsDone();
  if (done >= layout.height) return Fail(TWCC_SEQERROR);
  const TW_UINT32 row = layout.width * 3;
  TW_MEMORY& mem = xfer->Memory;
  if (mem.TheMem == nullptr) return Fail(TWCC_BADVALUE);
  uint8_t* buffer = nullptr;
  if (mem.Flags & TWMF_HANDLE) {
    HGLOBAL h = static_cast<HGLOBAL>(mem.TheMem);
    if (GlobalSize(h) < mem.Length) return Fail(TWCC_BADVALUE);
    buffer = static_cast<uint8_t*>(GlobalLock(h));
  } else {
    buffer = static_cast<uint8_t*>(mem.TheMem);
  }
  const TW_UINT32 rows = std::min(mem.Length / row, layout.height - done);
  if (buffer == nullptr || rows == 0) {
    if (buffer != nullptr && (mem.Flags & TWMF_HANDLE)) GlobalUnlock(static_cast<HGLOBAL>(mem.TheMem));
    return Fail(TWCC_BADVALUE);
  }
  const uint8_t* pixels = static_cast<const uint8_t*>(GlobalLock(queue_.FrontBlock()));
  if (pixels != nullptr) {
    CopyRowsTopDownRgb(pixels, layout, done, rows, buffer);
    GlobalUnlock(queue_.FrontBlock());
  }
  if (mem.Flags & TWMF_HANDLE) GlobalUnlock(static_cast<HGLOBAL>(mem.TheMem));
  if (pixels == nullptr) return Fail(TWCC_LOWMEMORY);
  xfer->Compression = TWCP_NONE;
  xfer->BytesPerRow = row;
  xfer->Columns = layout.width;
  xfer->Rows = rows;
  xfer->XOffset = 0;
  xfer->YOffset = done;
  xfer->BytesWritten = rows * row;
  done += rows;
  current_ = layout;
  state_ = kStateTransferring;
  return done == layout.height ? TWRC_XFERDONE : TWRC_SUCCESS;
}

bool DataSource::UsesManagerCallback() const { return manager_ != nullptr && (app_.SupportedGroups & DF_APP2); }

void DataSource::Notify(TW_UINT16 notice) {
  if (notice == MSG_XFERREADY) {
    if (state_ != kStateEnabled || xferReadyDue_) return;
    xferReadyDue_ = true;
  } else {
    closeDue_ = true;
  }
  // Delivered from the application's message loop, never from inside the
  // dialog's own handlers.
  host_.PostWake();
}

TW_UINT16 DataSource::TakeNotice() {
  if (xferReadyDue_ && state_ == kStateEnabled && !queue_.Empty()) {
    xferReadyDue_ = false;
    state_ = kStateXferReady;
    return MSG_XFERREADY;
  }
  xferReadyDue_ = false;
  if (closeDue_ && state_ >= kStateEnabled) {
    closeDue_ = false;
    return MSG_CLOSEDSREQ;
  }
  return MSG_NULL;
}

void DataSource::SendThroughManager() {
  // The manager may call back into the source before it returns.
  for (TW_UINT16 notice = TakeNotice(); notice != MSG_NULL; notice = TakeNotice())
    manager_(&self_, &app_, DG_CONTROL, DAT_NULL, notice, nullptr);
}

void DataSource::OnImageInfo(const z9twn::ImageInfo& info) { caps_.SetPictureSize(info.width, info.height); }

void DataSource::OnPicture(HGLOBAL block) {
  const int limit = caps_.XferCount();
  const bool wanted = state_ >= kStateEnabled &&
                      (limit <= 0 || transfersDone_ + static_cast<int>(queue_.Count()) < limit);
  if (!wanted) {
    if (block != nullptr) GlobalFree(block);
    return;
  }
  if (queue_.Push(block) && state_ == kStateEnabled) Notify(MSG_XFERREADY);
}

void DataSource::OnCloseRequest() {
  if (state_ >= kStateEnabled) Notify(MSG_CLOSEDSREQ);
}

void DataSource::OnWake() {
  if (UsesManagerCallback())
    SendThroughManager();
  else if (xferReadyDue_ || closeDue_)
    host_.RemindLater();  // the application dispatched it without DAT_EVENT
}

}  // namespace z9cam
