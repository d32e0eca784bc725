// An IKsPropertySet of the test's own standing in for the capture filter's:
// it answers property 61 with a size and property 34 with a prepared still,
// and records what it was given.
#pragma once
#include <windows.h>
#include <strmif.h>

#include <cstdint>
#include <cstring>
#include <vector>

class FakePropertySet final : public IKsPropertySet {
 public:
  // Answers.
  HRESULT sizeResult = S_OK;
  uint32_t announcedSize = 921600;
  HRESULT stillResult = S_OK;
  std::vector<uint8_t> still;  // header + payload, copied over the caller's buffer (bounded by its length)
  bool reportReturned = true;  // false: *returned stays 0

  // What was asked.
  struct Call {
    DWORD id;
    DWORD instanceLength;
    DWORD dataLength;
    bool sameRecord;
    std::vector<uint8_t> header;  // first 24 bytes of the record as sent
  };
  std::vector<Call> calls;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IKsPropertySet)) {
      *out = static_cast<IKsPropertySet*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP QuerySupported(REFGUID, DWORD, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP Get(REFGUID, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data, DWORD dataLength,
                   DWORD* returned) override {
    Call c{id, instanceLength, dataLength, instance == data, {}};
    if (instance != nullptr && instanceLength >= 24)
      c.header.assign(static_cast<uint8_t*>(instance), static_cast<uint8_t*>(instance) + 24);
    calls.push_back(c);
    if (returned) *returned = 0;
    uint8_t* out = static_cast<uint8_t*>(data);
    if (id == 61) {
      if (FAILED(sizeResult)) return sizeResult;
      if (dataLength >= 28) std::memcpy(out + 24, &announcedSize, 4);
      if (returned && reportReturned) *returned = dataLength;
      return sizeResult;
    }
    if (id == 34) {
      if (FAILED(stillResult)) return stillResult;
      const size_t n = still.size() < dataLength ? still.size() : dataLength;
      // The driver keeps bytes 0-23 (the header it was sent).
      if (n > 24) std::memcpy(out + 24, still.data() + 24, n - 24);
      if (returned && reportReturned) *returned = static_cast<DWORD>(n);
      return stillResult;
    }
    return E_NOTIMPL;
  }
};
