// Module entry points of the bench's Ksproxy.ax: the class object of the
// proxy filter, unloading and self-registration.
#include <new>
#include <string>

#include "format_page.h"
#include "ks_headers.h"
#include "module.h"
#include "proxy_filter.h"

namespace z9proxy {

HINSTANCE g_module = nullptr;
const CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

namespace {

LONG g_refs = 0;
constexpr char kClsidKey[] = "CLSID\\{17CCA71B-ECD7-11D0-B908-00A0C9223196}";
constexpr char kPageKey[] = "CLSID\\{5E1A7C20-3B9D-4C61-9A0E-7F2B6D4C1A01}";

using CreateFn = HRESULT (*)(IUnknown*, REFIID, void**);

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(CreateFn create) : create_(create) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is static; it keeps the module only while locked.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return create_(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      AddModuleRef();
    else
      ReleaseModuleRef();
    return S_OK;
  }

 private:
  CreateFn create_;
};

ClassFactory g_factory(ProxyFilter::Create);
ClassFactory g_pageFactory(FormatPage::Create);

HRESULT RegisterServer(const char* key, const char* path) {
  HKEY cls = nullptr, server = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &cls, nullptr);
  if (rc == ERROR_SUCCESS)
    rc = RegCreateKeyExA(cls, "InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr);
  if (rc == ERROR_SUCCESS)
    rc = RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                        static_cast<DWORD>(lstrlenA(path) + 1));
  if (rc == ERROR_SUCCESS)
    rc = RegSetValueExA(server, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Both"), 5);
  if (server) RegCloseKey(server);
  if (cls) RegCloseKey(cls);
  return HRESULT_FROM_WIN32(rc);
}

void UnregisterServer(const char* key) {
  HKEY cls = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_WRITE, &cls) == ERROR_SUCCESS) {
    RegDeleteKeyA(cls, "InprocServer32");
    RegCloseKey(cls);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
  }
}

}  // namespace

void AddModuleRef() { InterlockedIncrement(&g_refs); }
void ReleaseModuleRef() { InterlockedDecrement(&g_refs); }
LONG ModuleRefs() { return InterlockedCompareExchange(&g_refs, 0, 0); }

}  // namespace z9proxy

using namespace z9proxy;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualCLSID(clsid, kClsidProxy)) return g_factory.QueryInterface(iid, out);
  if (IsEqualCLSID(clsid, kClsidFormatPage)) return g_pageFactory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return ModuleRefs() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT WINAPI DllRegisterServer() {
  char path[MAX_PATH] = {};
  if (!GetModuleFileNameA(g_module, path, MAX_PATH)) return HRESULT_FROM_WIN32(GetLastError());
  const HRESULT hr = RegisterServer(kClsidKey, path);
  return FAILED(hr) ? hr : RegisterServer(kPageKey, path);
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
  UnregisterServer(kClsidKey);
  UnregisterServer(kPageKey);
  return S_OK;
}
