// The protocol's edges through Wine's manager (and, where the manager itself
// would stumble, at the source's entry): triplets in the wrong state, every
// capability operation, the close request, queued pictures, CAP_XFERCOUNT,
// bad input, and an application that never calls DAT_EVENT.
#include <cstring>
#include <string>

#include "twain_fixture.h"
#include "wintest.h"

namespace twtest {
namespace {

using namespace twain;

using Protocol = TwainFixture;

struct Triplet {
  TW_UINT32 dg;
  TW_UINT16 dat;
  TW_UINT16 msg;
  TW_UINT16 cc;
  const char* what;
};

// Every triplet goes with a zeroed buffer large enough for any of them (an
// event with an empty message: the manager reads it first).
void ExpectAll(z9bench::TwainSession& s, std::initializer_list<Triplet> triplets, int state) {
  for (const Triplet& tr : triplets) {
    alignas(8) uint8_t data[256] = {};
    MSG empty = {};
    if (tr.dat == DAT_EVENT) reinterpret_cast<TW_EVENT*>(data)->pEvent = &empty;
    const TW_UINT16 rc = s.ToSource(tr.dg, tr.dat, tr.msg, data);
    EXPECT_EQ(rc, TWRC_FAILURE) << "state " << state << ": " << tr.what;
    EXPECT_EQ(s.SourceCondition(), tr.cc) << "state " << state << ": " << tr.what;
  }
}

TEST_F(Protocol, TripletsInTheWrongStateFailWithSequenceError) {
  OpenSession();
  ExpectAll(s_,
            {{DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWCC_SEQERROR, "DISABLEDS"},
             {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, TWCC_SEQERROR, "PROCESSEVENT"},
             {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWCC_SEQERROR, "ENDXFER"},
             {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWCC_SEQERROR, "PENDINGXFERS RESET"},
             {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWCC_SEQERROR, "IMAGEINFO"},
             {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWCC_SEQERROR, "NATIVEXFER"},
             {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWCC_SEQERROR, "MEMXFER"},
             {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, TWCC_BADPROTOCOL, "ENABLEDSUIONLY"},
             {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, TWCC_BADPROTOCOL, "FILEXFER"},
             {DG_CONTROL, 0x0777, MSG_GET, TWCC_BADPROTOCOL, "unknown data argument"}},
            4);
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  ExpectAll(s_,
            {{DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWCC_SEQERROR, "ENABLEDS"},
             {DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWCC_SEQERROR, "CAPABILITY SET"},
             {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, TWCC_SEQERROR, "CAPABILITY RESET"},
             {DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, TWCC_SEQERROR, "IMAGELAYOUT SET"},
             {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, TWCC_SEQERROR, "ENDXFER"},
             {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWCC_SEQERROR, "IMAGEINFO"},
             {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWCC_SEQERROR, "NATIVEXFER"}},
            5);
  // The manager forgets a source whatever its close answers: asked directly.
  TW_IDENTITY self = s_.Source();
  EXPECT_EQ(Direct(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &self), TWRC_FAILURE);
  EXPECT_EQ(s_.SourceCondition(), TWCC_SEQERROR) << "CLOSEDS in state 5";
  Click(kCaptureButton);
  ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY);
  ExpectAll(s_,
            {{DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWCC_SEQERROR, "DISABLEDS with a picture pending"},
             {DG_CONTROL, DAT_CAPABILITY, MSG_SET, TWCC_SEQERROR, "CAPABILITY SET"},
             {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWCC_SEQERROR, "MEMXFER with native negotiated"}},
            6);
  std::vector<uint8_t> dib;
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE);
  ExpectAll(s_,
            {{DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, TWCC_SEQERROR, "second NATIVEXFER"},
             {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, TWCC_SEQERROR, "PENDINGXFERS RESET"},
             {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, TWCC_SEQERROR, "DISABLEDS"},
             {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, TWCC_SEQERROR, "SETUPMEMXFER"}},
            7);
  TW_UINT16 count = 0xffff;
  EXPECT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
}

TEST_F(Protocol, EveryCapabilityOperationThroughTheManager) {
  OpenSession();
  TW_UINT16 conType = 0;
  std::vector<uint8_t> list;
  ASSERT_EQ(s_.Capability(MSG_GET, CAP_SUPPORTEDCAPS, &conType, &list), TWRC_SUCCESS);
  ASSERT_EQ(conType, TWON_ARRAY);
  ASSERT_GE(list.size(), 6u);
  const uint32_t n = list[2] | (list[3] << 8);
  ASSERT_EQ(list.size(), 6 + 2u * n);
  for (uint32_t i = 0; i < n; ++i) {
    const TW_UINT16 cap = static_cast<TW_UINT16>(list[6 + 2 * i] | (list[7 + 2 * i] << 8));
    std::vector<uint8_t> c, current;
    for (TW_UINT16 msg : {MSG_GET, MSG_GETDEFAULT, MSG_QUERYSUPPORT})
      EXPECT_EQ(s_.Capability(msg, cap, &conType, &c), TWRC_SUCCESS) << "cap 0x" << std::hex << cap << " msg " << msg;
    const TW_INT32 ops = static_cast<TW_INT32>(c[2] | (c[3] << 8));
    ASSERT_EQ(s_.Capability(MSG_GETCURRENT, cap, &conType, &current), TWRC_SUCCESS) << "cap 0x" << std::hex << cap;
    // A set of the current value and a reset succeed plainly where allowed.
    if (ops & TWQC_SET) {
      EXPECT_EQ(conType, TWON_ONEVALUE);
      EXPECT_EQ(s_.SetCapability(cap, TWON_ONEVALUE, current), TWRC_SUCCESS) << "set 0x" << std::hex << cap;
      EXPECT_EQ(s_.Capability(MSG_RESET, cap, &conType, &c), TWRC_SUCCESS) << "reset 0x" << std::hex << cap;
    } else if (cap != CAP_SUPPORTEDCAPS) {
      ExpectFailure(s_.SetCapability(cap, TWON_ONEVALUE, current), TWCC_CAPBADOPERATION, "read-only set");
      ExpectFailure(s_.Capability(MSG_RESET, cap, &conType, &c), TWCC_CAPBADOPERATION, "read-only reset");
    }
  }
  // What the camera reports, and what it refuses.
  std::vector<uint8_t> c;
  ASSERT_EQ(s_.Capability(MSG_GETCURRENT, CAP_DEVICEONLINE, &conType, &c), TWRC_SUCCESS);
  EXPECT_EQ(c[2], 1) << "camera present";
  ASSERT_TRUE(bench_.Unplug());
  ASSERT_EQ(s_.Capability(MSG_GETCURRENT, CAP_DEVICEONLINE, &conType, &c), TWRC_SUCCESS);
  EXPECT_EQ(c[2], 0) << "camera unplugged";
  ASSERT_TRUE(bench_.Replug());
  ASSERT_EQ(s_.Capability(MSG_GETCURRENT, CAP_UICONTROLLABLE, &conType, &c), TWRC_SUCCESS);
  EXPECT_EQ(c[2], 0);
  ExpectFailure(s_.Capability(MSG_GET, 0x1234, &conType, &c), TWCC_CAPUNSUPPORTED, "unknown capability");
  ExpectFailure(s_.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE), TWCC_BADVALUE, "file transfer");
  ExpectFailure(s_.SetOneValue(ICAP_XFERMECH, TWTY_UINT32, TWSX_MEMORY), TWCC_BADVALUE, "wrong item type");
  ExpectFailure(s_.SetCapability(ICAP_XFERMECH, TWON_ENUMERATION, std::vector<uint8_t>(20)), TWCC_BADVALUE,
                "wrong container");
  ExpectFailure(s_.SetCapability(ICAP_XFERMECH, TWON_ONEVALUE, std::vector<uint8_t>(3)), TWCC_BADVALUE,
                "short container");
  EXPECT_EQ(s_.SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 300), TWRC_CHECKSTATUS) << "resolution rounded";
  TW_IMAGELAYOUT layout = {};
  ASSERT_EQ(s_.ToSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(layout.Frame.Right.Whole, 8);  // 640 pixels at 72 per inch
  EXPECT_EQ(layout.Frame.Bottom.Whole, 6);
  layout.Frame.Right.Whole = 4;
  EXPECT_EQ(s_.ToSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_CHECKSTATUS);
  EXPECT_EQ(layout.Frame.Right.Whole, 8) << "the whole picture stays";
}

TEST_F(Protocol, ExitAsksTheApplicationToClose) {
  OpenSession();
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  Click(kExitButton);
  EXPECT_EQ(s_.WaitForNotice(5000), MSG_CLOSEDSREQ);
  EXPECT_NE(FindWindowA("#32770", kCameraName), nullptr) << "the dialog waits for the application";
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
  EXPECT_TRUE(wintest::WaitForNoWindow("#32770", kCameraName, 3000));
}

TEST_F(Protocol, PicturesWaitTheirTurnAndTransferCountEndsTheSession) {
  OpenSession();
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  for (int i = 0; i < 3; ++i) Click(kCaptureButton);
  std::vector<TW_UINT16> notices;
  s_.PumpEvents(2500, &notices);
  ASSERT_EQ(notices, std::vector<TW_UINT16>{MSG_XFERREADY}) << "one notice for three pictures";
  EXPECT_EQ(PendingCount(), 3);
  std::vector<uint8_t> dib;
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE);
  TW_UINT16 count = 0;
  ASSERT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE) << "the next one without a new notice";
  EXPECT_TRUE(dib == ExpectedPicture());
  ASSERT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 1);
  TW_PENDINGXFERS p = {};
  ASSERT_EQ(s_.ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &p), TWRC_SUCCESS);
  EXPECT_EQ(p.Count, 0);
  ASSERT_EQ(s_.Disable(), TWRC_SUCCESS);

  // CAP_XFERCOUNT 1: one picture, then nothing more in this session.
  ASSERT_EQ(s_.SetOneValue(CAP_XFERCOUNT, TWTY_INT16, 1), TWRC_SUCCESS);
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  Click(kCaptureButton);
  Click(kCaptureButton);
  notices.clear();
  s_.PumpEvents(2000, &notices);
  ASSERT_EQ(notices, std::vector<TW_UINT16>{MSG_XFERREADY});
  EXPECT_EQ(PendingCount(), 1);
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE);
  ASSERT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  Click(kCaptureButton);
  notices.clear();
  s_.PumpEvents(1500, &notices);
  EXPECT_TRUE(notices.empty()) << "a picture after the count was reached";
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
}

TEST_F(Protocol, BadInputGetsClearFailures) {
  OpenSession();
  // A second connection (the manager would turn every refusal into its own code).
  TW_IDENTITY another = s_.Source();
  EXPECT_EQ(Direct(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &another), TWRC_FAILURE);
  EXPECT_EQ(s_.SourceCondition(), TWCC_MAXCONNECTIONS);
  for (const Triplet& t : {Triplet{DG_CONTROL, DAT_CAPABILITY, MSG_GET, TWCC_BADVALUE, "capability"},
                           Triplet{DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, TWCC_BADVALUE, "user interface"},
                           Triplet{DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, TWCC_BADVALUE, "pending transfers"},
                           Triplet{DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, TWCC_BADVALUE, "layout"},
                           Triplet{DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, TWCC_BADVALUE, "entry point"}}) {
    EXPECT_EQ(Direct(t.dg, t.dat, t.msg, nullptr), TWRC_FAILURE) << t.what;
    EXPECT_EQ(s_.SourceCondition(), t.cc) << "null " << t.what;
  }
  TW_ENTRYPOINT shortEntry = {};
  shortEntry.Size = 4;
  ExpectFailure(s_.ToSource(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &shortEntry), TWCC_BADVALUE, "short entry point");
  TW_CAPABILITY noContainer = {ICAP_XFERMECH, TWON_ONEVALUE, nullptr};
  ExpectFailure(s_.ToSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &noContainer), TWCC_BADVALUE, "no container");

  ASSERT_EQ(s_.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  TW_EVENT noMessage = {};
  EXPECT_EQ(Direct(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &noMessage), TWRC_FAILURE);
  EXPECT_EQ(s_.SourceCondition(), TWCC_BADVALUE) << "event without a message";
  Click(kCaptureButton);
  ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY);
  std::vector<uint8_t> small(100);
  TW_IMAGEMEMXFER x = {};
  x.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
  x.Memory.Length = static_cast<TW_UINT32>(small.size());
  x.Memory.TheMem = small.data();
  ExpectFailure(s_.ToSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x), TWCC_BADVALUE, "buffer under one row");
  HGLOBAL tiny = GlobalAlloc(GMEM_MOVEABLE, 16);
  x.Memory.Flags = TWMF_APPOWNS | TWMF_HANDLE;
  x.Memory.Length = 640 * 3 * 4;
  x.Memory.TheMem = tiny;
  ExpectFailure(s_.ToSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x), TWCC_BADVALUE, "handle smaller than told");
  GlobalFree(tiny);
  TW_PENDINGXFERS p = {};
  EXPECT_EQ(s_.ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &p), TWRC_SUCCESS);
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
}

TEST_F(Protocol, ApplicationThatSkipsDatEventHearsLaterAndTheQueueIsBounded) {
  OpenSession();
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  ASSERT_NE(Dialog(), nullptr);
  // Twelve pictures while the application dispatches without DAT_EVENT.
  for (int i = 0; i < 12; ++i) {
    Click(kCaptureButton);
    wintest::PumpFor(150);
  }
  wintest::PumpFor(500);
  EXPECT_EQ(PendingCount(), 0) << "nothing announced yet";
  // Once the application routes its messages, the notice arrives.
  ASSERT_EQ(s_.WaitForNotice(3000), MSG_XFERREADY);
  EXPECT_EQ(PendingCount(), 8) << "the queue keeps eight pictures";
  TW_PENDINGXFERS p = {};
  EXPECT_EQ(s_.ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &p), TWRC_SUCCESS);
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
}

}  // namespace
}  // namespace twtest
