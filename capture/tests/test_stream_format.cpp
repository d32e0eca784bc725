// The stream's codes, the layout each one selects, and the dialog's texts
// from the language file.
#include <gtest/gtest.h>
#include <uuids.h>

#include <cstring>
#include <string>

#include "grab_texts.h"
#include "registry_view.h"
#include "settings.h"
#include "stream_format.h"
#include "wintest.h"

namespace {

GUID FourCc(const char* s) {
  GUID g = MEDIASUBTYPE_YUY2;
  std::memcpy(&g.Data1, s, 4);
  return g;
}

TEST(StreamFormat, FormatCodesBySubtype) {
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(MEDIASUBTYPE_RGB24), 0);
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(MEDIASUBTYPE_YUY2), 2);
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(FourCc("RAWD")), 3);
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(FourCc("NJP4")), 4);
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(FourCc("NJP2")), 5);
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(MEDIASUBTYPE_RGB32), 1);
  EXPECT_EQ(z9twn::FormatCodeOfSubtype(FourCc("MJPG")), 1);
}

TEST(StreamFormat, SizeCodesByWidth) {
  EXPECT_EQ(z9twn::SizeCodeOfWidth(320), 1);
  EXPECT_EQ(z9twn::SizeCodeOfWidth(352), 2);
  EXPECT_EQ(z9twn::SizeCodeOfWidth(176), 3);
  EXPECT_EQ(z9twn::SizeCodeOfWidth(160), 4);
  EXPECT_EQ(z9twn::SizeCodeOfWidth(640), 0);
  EXPECT_EQ(z9twn::SizeCodeOfWidth(1280), 0);
}

TEST(StreamFormat, FrameRateKeepsThePreviousOneForAZeroTime) {
  EXPECT_EQ(z9twn::FrameRateOf(333333, 15), 30);
  EXPECT_EQ(z9twn::FrameRateOf(666666, 30), 15);
  EXPECT_EQ(z9twn::FrameRateOf(0, 15), 15);
  EXPECT_EQ(z9twn::FrameRateOf(-5, 12), 12);
  EXPECT_EQ(z9twn::TimePerFrameOf(30), 333333);
  EXPECT_EQ(z9twn::TimePerFrameOf(0), 0);
}

TEST(StreamFormat, LayoutPerFormat) {
  struct Row {
    int width, height, sizeCode;
    int dw, dh, px, py, pw, ph, firstButton;
  };
  const Row rows[] = {
      {640, 480, 0, 674, 580, 7, 37, 650, 490, 12},  {1280, 960, 0, 674, 580, 7, 37, 650, 490, 12},
      {320, 480, 1, 674, 580, 7, 37, 650, 490, 12},  // height alone selects the large layout
      {320, 240, 1, 488, 342, 76, 37, 330, 250, 23}, {352, 288, 2, 440, 390, 36, 37, 362, 298, 23},
      {176, 144, 3, 400, 246, 96, 37, 186, 154, 23}, {160, 120, 4, 400, 220, 106, 37, 170, 130, 23},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.width << "x" << r.height << " code " << r.sizeCode);
    const z9twn::DialogLayout l = z9twn::LayoutForStream(r.width, r.height, static_cast<uint8_t>(r.sizeCode));
    EXPECT_TRUE(l.changes);
    EXPECT_EQ(l.dialogWidth, r.dw);
    EXPECT_EQ(l.dialogHeight, r.dh);
    EXPECT_EQ(l.paneX, r.px);
    EXPECT_EQ(l.paneY, r.py);
    EXPECT_EQ(l.paneWidth, r.pw);
    EXPECT_EQ(l.paneHeight, r.ph);
    for (int i = 0; i < z9twn::kButtonCount; ++i) EXPECT_EQ(l.buttonX[i], r.firstButton + 72 * i);
  }
  EXPECT_FALSE(z9twn::LayoutForStream(400, 300, 0).changes);
}

class GrabTextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
    z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
    dir_ = wintest::WindowsDir() + "\\z9twn_lang";
    wintest::MakeDirs(dir_);
  }
  void TearDown() override {
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
    wintest::DeleteFileIfAny(dir_ + "\\LG1031.dat");
  }
  std::string dir_;
};

TEST_F(GrabTextsTest, FileTextsWithDefaultsForMissingOrEmptyKeys) {
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", dir_));
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", 1031));
  const std::string file = dir_ + "\\LG1031.dat";
  ASSERT_TRUE(wintest::IniWrite(file, "Grabdlg", "DlgString3", "&Aufnehmen"));
  ASSERT_TRUE(wintest::IniWrite(file, "Grabdlg", "MsgCaption0", "Fehler"));
  ASSERT_TRUE(wintest::IniWrite(file, "Grabdlg", "DlgString4", ""));
  ASSERT_TRUE(wintest::IniWrite(file, "Grabdlg", "DlgString17", std::string(300, 'x').c_str()));
  z9twn::GrabTexts t;
  z9twn::LoadGrabTexts(&t);
  EXPECT_STREQ(t.dlgString3, "&Aufnehmen");
  EXPECT_STREQ(t.msgCaption0, "Fehler");
  EXPECT_STREQ(t.dlgString4, "&Mode");
  EXPECT_EQ(std::string(t.dlgString17), std::string(249, 'x'));
  EXPECT_STREQ(t.dlgString6, "&Resume");
  EXPECT_STREQ(t.msgString9, "Error! Stream is stop, please start preview windows!");
}

TEST_F(GrabTextsTest, DefaultsWithoutLanguageNumberOrSection) {
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", dir_));
  const std::string file = dir_ + "\\LG1031.dat";
  ASSERT_TRUE(wintest::IniWrite(file, "Grabdlg", "DlgString3", "&Aufnehmen"));
  z9twn::GrabTexts t;
  z9twn::LoadGrabTexts(&t);  // no "MultiLangID"
  EXPECT_STREQ(t.dlgString3, "&Capture");

  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", 1031));
  ASSERT_TRUE(wintest::IniWrite(file, "StillMnt", "DmpString2", "x"));
  WritePrivateProfileStringA("Grabdlg", nullptr, nullptr, file.c_str());  // the section goes
  z9twn::LoadGrabTexts(&t);
  EXPECT_STREQ(t.dlgString3, "&Capture");
  EXPECT_STREQ(t.msgCaption0, "Error");
  EXPECT_STREQ(t.dlgString16, "&Exit");
  EXPECT_STREQ(t.msgString13, "Can not get default video stream format!");
}

}  // namespace
