// The COM server: class objects, plain and aggregated creation, the module
// lock count, registration with regsvr32 and the type library.
#include "dex_test_support.h"

#include <oleauto.h>

#include <algorithm>

using namespace dextest;

namespace {

const CLSID kUnknownClsid = {0x7EBBB1AF, 0xC455, 0x4F97, {0xB5, 0xE7, 0x9D, 0x4E, 0x5B, 0x98, 0x30, 0x04}};

class DexServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com.ok());
    ASSERT_TRUE(dex.ok()) << "cannot load " << DexPath();
  }
  ComScope com;
  DexLibrary dex;
};

// An outer object that aggregates a page: it keeps the page's inner unknown
// and hands out the page's IPropertyPage as its own.
class Outer : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    ++delegatedQueries;
    return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }

  IUnknown* inner = nullptr;
  LONG refs = 1;
  int delegatedQueries = 0;
};

TEST_F(DexServer, HandsOutOneCachedFactoryPerClassAndNoneForOtherClasses) {
  for (const PageClass& c : PageClasses()) {
    SCOPED_TRACE(c.name);
    Ref<IClassFactory> first, second;
    ASSERT_EQ(dex.getClassObject(*c.clsid, IID_IClassFactory, first.put()), S_OK);
    ASSERT_EQ(dex.getClassObject(*c.clsid, IID_IClassFactory, second.put()), S_OK);
    EXPECT_EQ(first.get(), second.get());
    Ref<IUnknown> asUnknown;
    ASSERT_EQ(dex.getClassObject(*c.clsid, IID_IUnknown, asUnknown.put()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first.get()), asUnknown.get());
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(dex.getClassObject(*c.clsid, IID_IPropertyPage, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
  }
  // The factories of different classes differ.
  Ref<IClassFactory> a, b;
  ASSERT_EQ(dex.getClassObject(z9::CLSID_PropPage1, IID_IClassFactory, a.put()), S_OK);
  ASSERT_EQ(dex.getClassObject(z9::CLSID_DefaultPage2, IID_IClassFactory, b.put()), S_OK);
  EXPECT_NE(a.get(), b.get());

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(dex.getClassObject(kUnknownClsid, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(dex.getClassObject(z9::LIBID_VIDSETLib, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(dex.getClassObject(z9::CLSID_PropPage1, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(DexServer, CreatesPlainPagesWithOneIdentity) {
  for (const PageClass& c : PageClasses()) {
    SCOPED_TRACE(c.name);
    Ref<IClassFactory> factory;
    ASSERT_EQ(dex.getClassObject(*c.clsid, IID_IClassFactory, factory.put()), S_OK);
    Ref<IPropertyPage> page;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page.put()), S_OK);
    Ref<IUnknown> u1, u2;
    ASSERT_EQ(page->QueryInterface(IID_IUnknown, u1.put()), S_OK);
    ASSERT_EQ(page->QueryInterface(IID_IUnknown, u2.put()), S_OK);
    EXPECT_EQ(u1.get(), u2.get());
    Ref<IPropertyPage> again;
    ASSERT_EQ(u1->QueryInterface(IID_IPropertyPage, again.put()), S_OK);
    EXPECT_EQ(again.get(), page.get());
    Ref<IUnknown> none;
    EXPECT_EQ(page->QueryInterface(IID_IClassFactory, none.put()), E_NOINTERFACE);
    EXPECT_FALSE(none);
    // A second object is a different one.
    Ref<IPropertyPage> other;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, other.put()), S_OK);
    EXPECT_NE(other.get(), page.get());
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, none.put()), E_NOINTERFACE);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, nullptr), E_POINTER);
  }
}

TEST_F(DexServer, AggregatedPageDelegatesToItsOuterObject) {
  for (const PageClass& c : PageClasses()) {
    SCOPED_TRACE(c.name);
    Ref<IClassFactory> factory;
    ASSERT_EQ(dex.getClassObject(*c.clsid, IID_IClassFactory, factory.put()), S_OK);
    Outer outer;
    void* refused = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IPropertyPage, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), S_OK);
    ASSERT_NE(outer.inner, nullptr);
    EXPECT_EQ(outer.refs, 1) << "creation must not hold the outer object";

    // The outer object answers for the page.
    IPropertyPage* page = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
    EXPECT_EQ(outer.refs, 2) << "the page's references are the outer object's";
    // The page's own IUnknown is the outer one.
    IUnknown* identity = nullptr;
    const int queriesBefore = outer.delegatedQueries;
    ASSERT_EQ(page->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    page->AddRef();
    EXPECT_EQ(outer.refs, 3);
    page->Release();
    page->Release();
    EXPECT_EQ(outer.refs, 1);
    // Other interfaces are asked of the outer object too.
    IUnknown* none = nullptr;
    EXPECT_EQ(page->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&none)), E_NOINTERFACE);
    EXPECT_GT(outer.delegatedQueries, queriesBefore);

    // The inner unknown is the page's own: asked for IUnknown it answers itself.
    IUnknown* innerSelf = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerSelf)), S_OK);
    EXPECT_EQ(innerSelf, outer.inner);
    innerSelf->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(dex.canUnloadNow(), S_FALSE) << "an aggregated page keeps the library";
    EXPECT_EQ(outer.inner->Release(), 0u);
    outer.inner = nullptr;
  }
}

TEST_F(DexServer, CanUnloadOnlyWithoutObjectsLocksOrHeldFactories) {
  ASSERT_EQ(dex.canUnloadNow(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(dex.getClassObject(z9::CLSID_DefaultPage2, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(dex.canUnloadNow(), S_FALSE) << "a held factory keeps the library";

  IPropertyPage* page = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(dex.canUnloadNow(), S_FALSE) << "page and lock";
  page->Release();
  EXPECT_EQ(dex.canUnloadNow(), S_FALSE) << "the lock alone";

  ASSERT_EQ(dex.getClassObject(z9::CLSID_DefaultPage2, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(dex.canUnloadNow(), S_OK);

  // A page alone, without any factory held.
  page = dex.CreatePage(z9::CLSID_PropPage2);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(dex.canUnloadNow(), S_FALSE);
  page->Release();
  EXPECT_EQ(dex.canUnloadNow(), S_OK);
}

// ---- registration --------------------------------------------------------------


std::vector<std::string> Sorted(std::vector<std::string> v) {
  for (std::string& s : v) std::transform(s.begin(), s.end(), s.begin(), [](char ch) { return static_cast<char>(toupper(static_cast<unsigned char>(ch))); });
  std::sort(v.begin(), v.end());
  return v;
}

// Names of a key's values (the default value as "").
std::vector<std::string> ValueNames(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  RegCloseKey(key);
  return Sorted(names);
}

std::string DefaultValue(const std::string& path) {
  std::string v;
  wintest::RegGetString(HKEY_CLASSES_ROOT, path, nullptr, &v);
  return v;
}

bool Exists(const std::string& path) { return wintest::RegKeyExists(HKEY_CLASSES_ROOT, path); }

std::string LibId() { return ClsidString(z9::LIBID_VIDSETLib); }

// RegisterTypeLib files the library's path under the platform of the process
// (and of the library built for it): win32 in a 32-bit process, win64 in a
// 64-bit one.
const char* ThisPlatform() { return sizeof(void*) == 8 ? "win64" : "win32"; }
const char* OtherPlatform() { return sizeof(void*) == 8 ? "win32" : "win64"; }
std::string LibVersionKey() { return "TypeLib\\" + LibId() + "\\1.0"; }

class Registration : public DexServer {
 protected:
  void TearDown() override {
    // Leave the library registered, as a prefix that installed it would be.
    if (dex.ok()) {
      EXPECT_EQ(dex.registerServer(), S_OK);
    }
  }

  static bool Regsvr32(bool unregister) {
    DWORD code = 1;
    const std::string cmd = std::string("regsvr32 /s ") + (unregister ? "/u " : "") + "\"" + DexPath() + "\"";
    return wintest::RunProgram(cmd, 30000, &code) && code == 0;
  }

  // Every key of one class as the server writes them, and nothing more.
  void ExpectClassKeys(const PageClass& c) {
    SCOPED_TRACE(c.name);
    const std::string clsid = ClsidString(*c.clsid);
    const std::string description = std::string(c.name) + " Class";
    const std::string progId = std::string("Vidset.") + c.name + ".1";
    const std::string versionless = std::string("Vidset.") + c.name;

    EXPECT_EQ(DefaultValue(progId), description);
    EXPECT_EQ(Sorted(wintest::RegSubkeys(HKEY_CLASSES_ROOT, progId)), Sorted({"CLSID"}));
    EXPECT_EQ(DefaultValue(progId + "\\CLSID"), clsid);

    EXPECT_EQ(DefaultValue(versionless), description);
    EXPECT_EQ(Sorted(wintest::RegSubkeys(HKEY_CLASSES_ROOT, versionless)), Sorted({"CLSID", "CurVer"}));
    EXPECT_EQ(DefaultValue(versionless + "\\CLSID"), clsid);
    EXPECT_EQ(DefaultValue(versionless + "\\CurVer"), progId);

    const std::string classKey = "CLSID\\" + clsid;
    EXPECT_EQ(DefaultValue(classKey), description);
    EXPECT_EQ(ValueNames(classKey), Sorted({""}));
    EXPECT_EQ(Sorted(wintest::RegSubkeys(HKEY_CLASSES_ROOT, classKey)), Sorted({"InprocServer32", "Programmable"}));
    EXPECT_TRUE(wintest::RegSubkeys(HKEY_CLASSES_ROOT, classKey + "\\Programmable").empty());
    EXPECT_TRUE(ValueNames(classKey + "\\Programmable").empty());
    EXPECT_TRUE(wintest::RegSubkeys(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32").empty());
    EXPECT_EQ(ValueNames(classKey + "\\InprocServer32"), Sorted({"", "ThreadingModel"}));
    EXPECT_EQ(lstrcmpiA(DefaultValue(classKey + "\\InprocServer32").c_str(), DexPath().c_str()), 0)
        << DefaultValue(classKey + "\\InprocServer32");
    std::string model;
    EXPECT_TRUE(wintest::RegGetString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel", &model));
    EXPECT_EQ(model, "Apartment");
  }

  void ExpectNoClassKeys(const PageClass& c) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(Exists(std::string("Vidset.") + c.name + ".1"));
    EXPECT_FALSE(Exists(std::string("Vidset.") + c.name));
    EXPECT_FALSE(Exists("CLSID\\" + ClsidString(*c.clsid)));
  }
};

TEST_F(Registration, Regsvr32WritesExactlyTheClassKeysAndTheTypeLibrary) {
  ASSERT_TRUE(Regsvr32(false));
  for (const PageClass& c : PageClasses()) ExpectClassKeys(c);

  const std::string lib = LibVersionKey();
  EXPECT_EQ(DefaultValue(lib), "Vidset 1.0 Type Library");
  EXPECT_EQ(lstrcmpiA(DefaultValue(lib + "\\0\\" + ThisPlatform()).c_str(), DexPath().c_str()), 0);
  EXPECT_FALSE(Exists(lib + "\\0\\" + OtherPlatform()));

  // The registered library describes the four classes.
  Ref<ITypeLib> typelib;
  ASSERT_EQ(LoadRegTypeLib(z9::LIBID_VIDSETLib, 1, 0, 0, reinterpret_cast<ITypeLib**>(typelib.put())), S_OK);
  BSTR name = nullptr, doc = nullptr;
  ASSERT_EQ(typelib->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
  EXPECT_STREQ(name, L"VIDSETLib");
  EXPECT_STREQ(doc, L"Vidset 1.0 Type Library");
  SysFreeString(name);
  SysFreeString(doc);
  for (const PageClass& c : PageClasses()) {
    SCOPED_TRACE(c.name);
    Ref<ITypeInfo> info;
    ASSERT_EQ(typelib->GetTypeInfoOfGuid(*c.clsid, reinterpret_cast<ITypeInfo**>(info.put())), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    info->ReleaseTypeAttr(attr);
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(Narrow(name), c.name);
    EXPECT_EQ(Narrow(doc), std::string(c.name) + " Class");
    SysFreeString(name);
    SysFreeString(doc);
  }

  // Registered classes are creatable by class id.
  for (const PageClass& c : PageClasses()) {
    Ref<IPropertyPage> page;
    EXPECT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.put()), S_OK)
        << c.name;
  }
}

TEST_F(Registration, RegisteringAgainReplacesTheClassKeyWhole) {
  ASSERT_EQ(dex.registerServer(), S_OK);
  const std::string classKey = "CLSID\\" + ClsidString(z9::CLSID_DefaultPage1);
  ASSERT_TRUE(wintest::RegSetString(HKEY_CLASSES_ROOT, classKey + "\\Stale", nullptr, "left over"));
  ASSERT_TRUE(wintest::RegSetString(HKEY_CLASSES_ROOT, classKey, "Stale", "left over"));
  ASSERT_TRUE(wintest::RegSetString(HKEY_CLASSES_ROOT, classKey + "\\Programmable\\Stale", nullptr, "x"));
  ASSERT_EQ(dex.registerServer(), S_OK);
  for (const PageClass& c : PageClasses()) ExpectClassKeys(c);
}

TEST_F(Registration, UnregisteringTwiceRemovesEveryKeyButTheSharedOnes) {
  ASSERT_EQ(dex.registerServer(), S_OK);
  // A neighbour under the shared key stays.
  const std::string neighbour = "CLSID\\{7EBBB1AF-C455-4F97-B5E7-9D4E5B983099}";
  ASSERT_TRUE(wintest::RegSetString(HKEY_CLASSES_ROOT, neighbour, nullptr, "neighbour"));

  ASSERT_TRUE(Regsvr32(true));
  ASSERT_TRUE(Regsvr32(true)) << "a second unregistration succeeds too";
  for (const PageClass& c : PageClasses()) ExpectNoClassKeys(c);
  EXPECT_FALSE(Exists("TypeLib\\" + LibId()));
  EXPECT_TRUE(Exists("CLSID"));
  EXPECT_EQ(DefaultValue(neighbour), "neighbour");
  EXPECT_EQ(dex.unregisterServer(), S_OK);

  // Unregistered classes are no longer creatable by class id.
  Ref<IPropertyPage> page;
  EXPECT_EQ(CoCreateInstance(z9::CLSID_PropPage1, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.put()),
            REGDB_E_CLASSNOTREG);
  wintest::RegDeleteKeyTree(HKEY_CLASSES_ROOT, neighbour);
}

TEST_F(Registration, UnregisterServerUndoesEverythingRegisterServerWrote) {
  ASSERT_EQ(dex.unregisterServer(), S_OK);
  ASSERT_EQ(dex.registerServer(), S_OK);
  ASSERT_TRUE(Exists(LibVersionKey() + "\\0\\" + ThisPlatform()));
  for (const PageClass& c : PageClasses()) ASSERT_TRUE(Exists("CLSID\\" + ClsidString(*c.clsid))) << c.name;

  EXPECT_EQ(dex.unregisterServer(), S_OK);
  for (const PageClass& c : PageClasses()) ExpectNoClassKeys(c);
  EXPECT_FALSE(Exists("TypeLib\\" + LibId())) << "the type library's key is gone whole";
  Ref<ITypeLib> typelib;
  EXPECT_NE(LoadRegTypeLib(z9::LIBID_VIDSETLib, 1, 0, 0, reinterpret_cast<ITypeLib**>(typelib.put())), S_OK);
}

// A 32-bit and a 64-bit process register the same library beside each other
// (win32 and win64 under one version key); each unregisters only its own.
TEST_F(Registration, UnregisteringLeavesTheOtherPlatformsRegistration) {
  ASSERT_EQ(dex.registerServer(), S_OK);
  const std::string other = LibVersionKey() + "\\0\\" + OtherPlatform();
  // The stand-in registration goes whatever the outcome (later tests expect
  // none); the tear-down registers the library again.
  struct Cleanup {
    ~Cleanup() { wintest::RegDeleteKeyTree(HKEY_CLASSES_ROOT, "TypeLib\\" + LibId()); }
  } cleanup;
  ASSERT_TRUE(wintest::RegSetString(HKEY_CLASSES_ROOT, other, nullptr, "C:\\other\\Z9100Dex.dll"));

  EXPECT_EQ(dex.unregisterServer(), S_OK);
  EXPECT_FALSE(Exists(LibVersionKey() + "\\0\\" + ThisPlatform()));
  EXPECT_EQ(DefaultValue(other), "C:\\other\\Z9100Dex.dll");

  // Only the other platform's registration left: nothing of ours to remove.
  EXPECT_EQ(dex.unregisterServer(), S_OK);
  EXPECT_EQ(DefaultValue(other), "C:\\other\\Z9100Dex.dll");
}

TEST_F(Registration, UnregisteringKeepsAForeignSubkeyOfAProgId) {
  ASSERT_EQ(dex.registerServer(), S_OK);
  ASSERT_TRUE(wintest::RegSetString(HKEY_CLASSES_ROOT, "Vidset.PropPage2\\Foreign", nullptr, "theirs"));
  ASSERT_EQ(dex.unregisterServer(), S_OK);
  EXPECT_EQ(DefaultValue("Vidset.PropPage2\\Foreign"), "theirs");
  EXPECT_FALSE(Exists("Vidset.PropPage2\\CLSID"));
  EXPECT_FALSE(Exists("Vidset.PropPage2\\CurVer"));
  wintest::RegDeleteKeyTree(HKEY_CLASSES_ROOT, "Vidset.PropPage2");
}

}  // namespace

namespace {

// Frames may hand a page no object, or objects that are no capture filter.
TEST_F(DexServer, EveryPageOpensAndClosesWithoutACameraObject) {
  HostWindow host;
  for (const PageClass& c : PageClasses()) {
    SCOPED_TRACE(c.name);
    Ref<IPropertyPage> page(dex.CreatePage(*c.clsid));
    ASSERT_TRUE(page);
    RecordingSite site;
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    CountingUnknown notAFilter;
    IUnknown* objects[] = {&notAFilter, nullptr};
    for (ULONG count : {0u, 1u, 2u}) {
      ASSERT_EQ(page->SetObjects(count, count ? objects : nullptr), S_OK);
      RECT r = {0, 0, 500, 400};
      ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK) << count;
      EXPECT_EQ(page->Show(SW_SHOW), S_OK);
      wintest::PumpFor(20);
      EXPECT_EQ(page->Apply(), S_OK);
      EXPECT_EQ(page->IsPageDirty(), S_FALSE);
      EXPECT_EQ(page->Deactivate(), S_OK);
    }
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(notAFilter.refs, 1) << "every object reference was given back";
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
    EXPECT_EQ(site.refs, 1);
  }
}

}  // namespace
