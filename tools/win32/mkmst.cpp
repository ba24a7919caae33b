// mkmst: writes an empty language transform. Wine cannot generate transforms,
// but its msiexec accepts a structured storage of the transform class that
// holds only an empty string pool; applying it changes nothing, which is all
// the tests need: the point is which transform file the installer is given.
//
//   mkmst OUTPUT.mst
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// {000C1082-0000-0000-C000-000000000046}: the class of installer transforms.
const CLSID kTransformClass = {0x000C1082, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

class ComScope {
 public:
  ComScope() : hr_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

int Digit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
  if (c >= L'a' && c <= L'z') return c - L'a' + 36;
  if (c == L'.') return 62;
  if (c == L'_') return 63;
  return -1;
}

// The installer packs table stream names two characters to a code unit so
// that they fit the 31-character limit of storage element names.
std::wstring EncodeTableStreamName(const std::wstring& name) {
  std::wstring out(1, static_cast<wchar_t>(0x4840));
  for (size_t i = 0; i < name.size(); ++i) {
    int a = Digit(name[i]);
    if (a < 0) {
      out += name[i];
      continue;
    }
    int b = i + 1 < name.size() ? Digit(name[i + 1]) : -1;
    if (b >= 0) {
      out += static_cast<wchar_t>(0x3800 + a + (b << 6));
      ++i;
    } else {
      out += static_cast<wchar_t>(0x4800 + a);
    }
  }
  return out;
}

HRESULT WriteStream(IStorage* stg, const std::wstring& name, const void* data, ULONG size) {
  ComPtr<IStream> stream;
  HRESULT hr =
      stg->CreateStream(EncodeTableStreamName(name).c_str(),
                        STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.out());
  if (FAILED(hr)) return hr;
  ULONG written = 0;
  if (size == 0) return S_OK;
  hr = stream->Write(data, size, &written);
  if (SUCCEEDED(hr) && written != size) hr = STG_E_WRITEFAULT;
  return hr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkmst OUTPUT.mst\n");
    return 2;
  }
  int wlen = MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
  if (wlen <= 0) return 2;
  std::wstring path(static_cast<size_t>(wlen), L'\0');
  MultiByteToWideChar(CP_ACP, 0, argv[1], -1, &path[0], wlen);
  path.resize(static_cast<size_t>(wlen - 1));

  ComScope com;
  if (FAILED(com.hr())) {
    std::fprintf(stderr, "mkmst: CoInitialize failed 0x%08lX\n",
                 static_cast<unsigned long>(com.hr()));
    return 1;
  }
  ComPtr<IStorage> root;
  HRESULT hr = StgCreateDocfile(path.c_str(),
                                STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                0, root.out());
  if (SUCCEEDED(hr)) hr = root->SetClass(kTransformClass);
  // String pool header: code page 0, no flags; no strings.
  const unsigned char pool[4] = {0, 0, 0, 0};
  if (SUCCEEDED(hr)) hr = WriteStream(root.operator->(), L"_StringPool", pool, sizeof pool);
  if (SUCCEEDED(hr)) hr = WriteStream(root.operator->(), L"_StringData", nullptr, 0);
  if (SUCCEEDED(hr)) hr = root->Commit(STGC_DEFAULT);
  if (FAILED(hr)) {
    std::fprintf(stderr, "mkmst: cannot write %s: 0x%08lX\n", argv[1],
                 static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}
