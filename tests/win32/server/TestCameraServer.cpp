// The test camera's in-process COM server: one class, a capture filter that
// offers IBaseFilter (every method the search does not need answers
// E_NOTIMPL) and IKsControl, whose property requests go unchanged to the
// handler the test process installed. It registers itself in the
// video-input category the way a camera's driver package does.

#include <windows.h>

#include <dshow.h>

#include <ks.h>
#include <ksproxy.h>

#include <atomic>
#include <string>

#include "win32/TestCameraServer.h"

// COM objects end through Release, never through an interface pointer, and
// the system's interfaces have no virtual destructor.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace {

HMODULE g_module = nullptr;
std::atomic<LONG> g_liveObjects{0};
std::atomic<LONG> g_locks{0};
std::atomic<TestCameraHandler> g_handler{nullptr};
std::atomic<void*> g_context{nullptr};

class TestCameraFilter final : public IBaseFilter, public IKsControl {
 public:
  TestCameraFilter() { ++g_liveObjects; }
  ~TestCameraFilter() { --g_liveObjects; }
  TestCameraFilter(const TestCameraFilter&) = delete;
  TestCameraFilter& operator=(const TestCameraFilter&) = delete;

  // IUnknown, shared by both faces.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter)
      *out = static_cast<IBaseFilter*>(this);
    else if (iid == IID_IKsControl)
      *out = static_cast<IKsControl*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IPersist, IMediaFilter, IBaseFilter.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (!clsid) return E_POINTER;
    *clsid = kTestCameraClsid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  // IKsControl: properties go to the test's handler; a camera without one
  // installed has no such property set.
  HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG propertyLength, void* data, ULONG dataLength,
                                       ULONG* returned) override {
    const TestCameraHandler handler = g_handler.load();
    if (!handler) return HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
    return handler(g_context.load(), reinterpret_cast<const BYTE*>(property), propertyLength, data, dataLength,
                   returned);
  }
  HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, void*, ULONG, ULONG*) override { return E_NOTIMPL; }

 private:
  std::atomic<LONG> references_{1};
};

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // One factory for the process: references need no count.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* filter = new TestCameraFilter();
    const HRESULT hr = filter->QueryInterface(iid, out);
    filter->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

ClassFactory g_factory;

constexpr wchar_t kClassKey[] = L"CLSID\\{5A0C7E31-9D42-4B1E-8F63-2C7D41A9E0B5}";
constexpr wchar_t kInstanceName[] = L"{5A0C7E31-9D42-4B1E-8F63-2C7D41A9E0B5}";
constexpr wchar_t kInstanceKey[] =
    L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\{5A0C7E31-9D42-4B1E-8F63-2C7D41A9E0B5}";

HRESULT SetText(HKEY root, const wchar_t* subKey, const wchar_t* name, const wchar_t* value) {
  const auto bytes = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(wchar_t));
  return HRESULT_FROM_WIN32(RegSetKeyValueW(root, subKey, name, REG_SZ, value, bytes));
}

HRESULT WithFilterMapper(HRESULT (*use)(IFilterMapper2*, const wchar_t*), const wchar_t* friendlyName) {
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  hr = use(mapper, friendlyName);
  mapper->Release();
  return hr;
}

HRESULT RegisterInCategory(IFilterMapper2* mapper, const wchar_t* friendlyName) {
  REGFILTER2 filter{};
  filter.dwVersion = 1;
  filter.dwMerit = MERIT_DO_NOT_USE;
  return mapper->RegisterFilter(kTestCameraClsid, friendlyName, nullptr, &CLSID_VideoInputDeviceCategory, kInstanceName,
                                &filter);
}

HRESULT UnregisterFromCategory(IFilterMapper2* mapper, const wchar_t*) {
  return mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, kInstanceName, kTestCameraClsid);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kTestCameraClsid) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_liveObjects.load() == 0 && g_locks.load() == 0 ? S_OK : S_FALSE;
}

extern "C" void TestCameraSetHandler(TestCameraHandler handler, void* context) {
  g_context = context;
  g_handler = handler;
}

extern "C" HRESULT TestCameraRegister(const wchar_t* friendlyName, const wchar_t* devicePath) {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return E_FAIL;
  HRESULT hr = SetText(HKEY_CLASSES_ROOT, kClassKey, nullptr, L"Zarnet test camera");
  if (SUCCEEDED(hr))
    hr = SetText(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\InprocServer32").c_str(), nullptr, self);
  if (SUCCEEDED(hr))
    hr =
        SetText(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\InprocServer32").c_str(), L"ThreadingModel", L"Both");
  if (SUCCEEDED(hr)) hr = WithFilterMapper(RegisterInCategory, friendlyName);
  if (SUCCEEDED(hr) && devicePath) hr = SetText(HKEY_CLASSES_ROOT, kInstanceKey, L"DevicePath", devicePath);
  return hr;
}

extern "C" HRESULT TestCameraUnregister() {
  const HRESULT hr = WithFilterMapper(UnregisterFromCategory, nullptr);
  // Whatever the mapper left behind goes too, so that no later test sees it.
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kInstanceKey);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  return hr;
}

extern "C" LONG TestCameraLiveObjects() { return g_liveObjects.load(); }
