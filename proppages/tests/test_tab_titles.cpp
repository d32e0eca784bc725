// The string tables in every language, and the tab titles a page reports
// under a thread language (the resource loader's choice).
#include "dex_test_support.h"
#include "resource.h"

using namespace dextest;

namespace {

struct LanguageTitles {
  LANGID language;
  const char* propPage1;     // 102
  const char* defaultPage1;  // 112
  const char* defaultPage2;  // 117
  const char* propPage2;     // 204
};

const LanguageTitles kLanguages[] = {
    {1033, "Property Page", "Video Proc Amp", "Camera Control", "Image Control"},
    {2048, "Property Page", "Video Proc Amp", "Camera Control", "Image Control"},
    {1031, "Eigenschaftenseite", "Video-Proc-Verstärker", "Kamerasteuerung", "Image Control"},
    {1036, "Page de propriétés", "Amp proc vidéo", "Contrôle de la caméra", "Contrôle de l'image"},
    {1040, "Pagina delle proprietà", "Video Proc Amp", "Regolazione fotocamera", "Image Control"},
    {3082, "Página de propiedades", "Amplificador procesador de vídeo", "Control de la cámara", "Image Control"},
    {2070, "Página de Direitos de Propriedade", "Amplificador do processador de vídeo", "Controlo da câmara",
     "Image Control"},
    {1041, "プロパティページ", "画像の調整", "カメラ制御", "画像コントロール"},
    {1042, "등록 정보 페이지", "비디오 프로세서 앰프", "카메라 컨트롤", "이미지 컨트롤"},
    {2052, "属性页", "视频 Proc Amp", "照相机控制", "影像控制"},
    {1028, "內容頁", "裝置設定", "照相機控制", "影像控制"},
};

// One string of one language's table, read straight from the resource
// block (no loader choice involved). `found` says whether it exists.
std::wstring StringOfLanguage(HMODULE module, UINT id, LANGID language, bool* found) {
  *found = false;
  HRSRC block = FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_STRING), MAKEINTRESOURCEW(id / 16 + 1), language);
  if (block == nullptr) return std::wstring();
  const auto* p = static_cast<const WCHAR*>(LockResource(LoadResource(module, block)));
  const DWORD size = SizeofResource(module, block) / sizeof(WCHAR);
  DWORD pos = 0;
  for (UINT i = 0; i < id % 16; ++i) {
    if (pos >= size) return std::wstring();
    pos += 1 + p[pos];
  }
  if (pos >= size || p[pos] == 0 || pos + 1 + p[pos] > size) return std::wstring();
  *found = true;
  return std::wstring(p + pos + 1, p[pos]);
}

class TabTitles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com.ok());
    ASSERT_TRUE(dex.ok());
    savedLocale = GetThreadLocale();
  }
  void TearDown() override { SetThreadLocale(savedLocale); }

  std::string TitleOf(REFCLSID clsid) {
    Ref<IPropertyPage> page(dex.CreatePage(clsid));
    if (!page) return "<no page>";
    PROPPAGEINFO info = {};
    if (page->GetPageInfo(&info) != S_OK || info.pszTitle == nullptr) return "<no info>";
    const std::string title = Narrow(info.pszTitle);
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszHelpFile);
    CoTaskMemFree(info.pszDocString);
    return title;
  }

  ComScope com;
  DexLibrary dex;
  LCID savedLocale = 0;
};

TEST_F(TabTitles, EveryLanguageHasItsTable) {
  for (const LanguageTitles& l : kLanguages) {
    SCOPED_TRACE(l.language);
    const std::pair<UINT, const char*> expected[] = {{IDS_PROJNAME, "Vidset"},
                                                     {IDS_TITLE_PROPPAGE1, l.propPage1},
                                                     {IDS_TITLE_DEFAULTPAGE1, l.defaultPage1},
                                                     {IDS_TITLE_DEFAULTPAGE2, l.defaultPage2},
                                                     {IDS_TITLE_PROPPAGE2, l.propPage2}};
    for (const auto& e : expected) {
      bool found = false;
      const std::wstring text = StringOfLanguage(dex.module(), e.first, l.language, &found);
      EXPECT_TRUE(found) << e.first;
      EXPECT_EQ(text, Wide(e.second)) << e.first;
    }
    // No help-file or doc strings exist.
    for (UINT absent : {IDS_HELPFILE_PROPPAGE1, IDS_DOCSTRING_PROPPAGE1, IDS_HELPFILE_PROPPAGE2,
                        IDS_DOCSTRING_PROPPAGE2}) {
      bool found = true;
      StringOfLanguage(dex.module(), absent, l.language, &found);
      EXPECT_FALSE(found) << absent;
    }
  }
  bool found = true;
  StringOfLanguage(dex.module(), IDS_TITLE_PROPPAGE1, 1053, &found);
  EXPECT_FALSE(found) << "Swedish is not one of the languages";
}

TEST_F(TabTitles, PagesTitleThemselvesInTheThreadsLanguage) {
  for (const LanguageTitles& l : kLanguages) {
    if (l.language == 2048) continue;  // the neutral table is not a thread language
    SCOPED_TRACE(l.language);
    ASSERT_TRUE(SetThreadLocale(MAKELCID(l.language, SORT_DEFAULT)));
    EXPECT_EQ(TitleOf(z9::CLSID_PropPage1), l.propPage1);
    EXPECT_EQ(TitleOf(z9::CLSID_DefaultPage1), l.defaultPage1);
    EXPECT_EQ(TitleOf(z9::CLSID_DefaultPage2), l.defaultPage2);
    EXPECT_EQ(TitleOf(z9::CLSID_PropPage2), l.propPage2);
  }
  // A language without a table falls back to English.
  ASSERT_TRUE(SetThreadLocale(MAKELCID(1053, SORT_DEFAULT)));
  EXPECT_EQ(TitleOf(z9::CLSID_DefaultPage1), "Video Proc Amp");
}

TEST_F(TabTitles, PageInfoSizesFitTheDialogs) {
  // 297 x 260 units for the Video Proc Amp page, 276 x 191 or 208 for the others:
  // the Video Proc Amp page is the largest in both directions.
  SIZE sizes[4] = {};
  int i = 0;
  for (const PageClass& c : PageClasses()) {
    Ref<IPropertyPage> page(dex.CreatePage(*c.clsid));
    ASSERT_TRUE(page);
    PROPPAGEINFO info = {};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK) << c.name;
    sizes[i++] = info.size;
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(info.pszHelpFile, nullptr) << c.name;
    EXPECT_EQ(info.pszDocString, nullptr) << c.name;
  }
  // Order of PageClasses: PropPage1, PropPage2, DefaultPage1, DefaultPage2.
  EXPECT_GT(sizes[2].cx, sizes[0].cx);
  EXPECT_GT(sizes[2].cy, sizes[1].cy);
  EXPECT_GT(sizes[1].cy, sizes[0].cy);
  EXPECT_EQ(sizes[0].cx, sizes[3].cx);
  EXPECT_EQ(sizes[0].cy, sizes[3].cy);
  // Roughly 1.5 to 2 pixels per horizontal unit with an 8-point font.
  EXPECT_GT(sizes[2].cx, 297);
  EXPECT_LT(sizes[2].cx, 297 * 3);
}

}  // namespace
