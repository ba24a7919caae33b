#include "installer/dispatch_win32.h"

#include <algorithm>
#include <climits>
#include <new>

#include "support/text_win32.h"

namespace setup::win32 {
namespace {

// The published DISPIDs of the members this program calls.
namespace dispid {
enum : DISPID {
  kInstallerOpenDatabase = 4,
  kInstallerUILevel = 6,
  kInstallerInstallProduct = 8,
  kDatabaseOpenView = 3,
  kDatabaseCommit = 4,
  kViewExecute = 1,
  kViewFetch = 2,
  kViewClose = 4,
  kRecordStringData = 1,
};
}  // namespace dispid

// Taken from the interface declarations rather than the uuid library, whose
// object holding IID_IDispatch brings some hundred other GUIDs along.
const IID kDispatchInterface = __uuidof(IDispatch);
const IID kNoInterface = {};  // IID_NULL, as Invoke requires

[[noreturn]] void ThrowFailure(HRESULT result) {
  throw DispatchError(result, SystemMessage(static_cast<DWORD>(result)));
}

// The strings of the automation objects are BSTRs: UTF-16 with a length.
// A text that has no form on the other side fails the call.
Bstr ToBstr(const std::string& text) {
  const std::optional<std::wstring> units = Widen(text);
  if (!units || units->size() > UINT_MAX) ThrowFailure(E_INVALIDARG);
  Bstr result(::SysAllocStringLen(units->data(), static_cast<UINT>(units->size())));
  if (!result.get()) ThrowFailure(E_OUTOFMEMORY);
  return result;
}

std::optional<std::string> FromBstr(BSTR text) {
  if (!text) return std::string();
  return Narrow(text, ::SysStringLen(text));
}

// The arguments of one call, in the member's parameter order; cleared on
// destruction.
class Arguments {
 public:
  static constexpr UINT kCapacity = 2;

  Arguments() = default;
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  ~Arguments() {
    for (UINT i = 0; i < count_; ++i) ::VariantClear(&values_[i]);
  }

  Arguments& String(const std::string& text) {
    Bstr value = ToBstr(text);
    VARIANT& slot = Next();
    slot.vt = VT_BSTR;
    slot.bstrVal = value.release();
    return *this;
  }
  Arguments& Int(int32_t number) {
    VARIANT& slot = Next();
    slot.vt = VT_I4;
    slot.lVal = number;
    return *this;
  }
  Arguments& NullDispatch() {
    VARIANT& slot = Next();
    slot.vt = VT_DISPATCH;
    slot.pdispVal = nullptr;
    return *this;
  }

  UINT Count() const { return count_; }
  // DISPPARAMS wants the last parameter first. The copies only lend the
  // values to the call; this object still owns them.
  void CopyReversed(VARIANT* target) const { std::reverse_copy(values_, values_ + count_, target); }

 private:
  VARIANT& Next() {
    if (count_ == kCapacity) ThrowFailure(DISP_E_BADPARAMCOUNT);
    VARIANT& slot = values_[count_++];
    ::VariantInit(&slot);
    return slot;
  }

  VARIANT values_[kCapacity];
  UINT count_ = 0;
};

// The server's exception report; its three strings are freed on every
// path.
class ExceptionInfo {
 public:
  ExceptionInfo() : info_() {}
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  ~ExceptionInfo() {
    ::SysFreeString(info_.bstrSource);
    ::SysFreeString(info_.bstrDescription);
    ::SysFreeString(info_.bstrHelpFile);
  }

  EXCEPINFO* get() { return &info_; }

  std::string Description() {
    if (info_.pfnDeferredFillIn) {
      auto fill = info_.pfnDeferredFillIn;
      info_.pfnDeferredFillIn = nullptr;
      fill(&info_);
    }
    return FromBstr(info_.bstrDescription).value_or(std::string());
  }
  HRESULT Code() const { return FAILED(info_.scode) ? info_.scode : S_OK; }

 private:
  EXCEPINFO info_;
};

std::string FailureText(HRESULT result, ExceptionInfo& exception) {
  if (result == DISP_E_EXCEPTION) {
    std::string description = exception.Description();
    if (!description.empty()) return description;
    if (FAILED(exception.Code())) return SystemMessage(static_cast<DWORD>(exception.Code()));
  }
  return SystemMessage(static_cast<DWORD>(result));
}

// result may be null (property put).
void Invoke(IDispatch* object, DISPID member, WORD kind, const Arguments& arguments,
            VARIANT* result) {
  if (!object) ThrowFailure(E_POINTER);
  VARIANT reversed[Arguments::kCapacity];
  arguments.CopyReversed(reversed);
  DISPID putName = DISPID_PROPERTYPUT;
  DISPPARAMS parameters = {};
  parameters.rgvarg = arguments.Count() ? reversed : nullptr;
  parameters.cArgs = arguments.Count();
  if (kind == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &putName;
    parameters.cNamedArgs = 1;
  }
  ExceptionInfo exception;
  UINT argumentError = 0;
  const HRESULT outcome = object->Invoke(member, kNoInterface, LOCALE_USER_DEFAULT, kind,
                                         &parameters, result, exception.get(), &argumentError);
  if (FAILED(outcome)) throw DispatchError(outcome, FailureText(outcome, exception));
}

void Call(IDispatch* object, DISPID member, const Arguments& arguments = Arguments()) {
  Variant ignored;
  Invoke(object, member, DISPATCH_METHOD, arguments, ignored.get());
}

// The object a member returned; null for an empty answer.
ComPtr<IDispatch> TakeObject(Variant& result) {
  const VARTYPE type = result.value().vt;
  if (type == VT_EMPTY || type == VT_NULL) return ComPtr<IDispatch>();
  if (type != VT_DISPATCH) ThrowFailure(DISP_E_TYPEMISMATCH);
  return ComPtr<IDispatch>(result.ReleaseDispatch());
}

ComPtr<IDispatch> RequireObject(Variant& result) {
  ComPtr<IDispatch> object = TakeObject(result);
  if (!object) ThrowFailure(E_POINTER);
  return object;
}

void ConvertResult(Variant& result, VARTYPE type) {
  if (result.value().vt == type) return;
  const HRESULT converted = ::VariantChangeType(result.get(), result.get(), 0, type);
  if (FAILED(converted)) ThrowFailure(converted);
}

template <typename Wrapper>
std::unique_ptr<Wrapper> Wrap(ComPtr<IDispatch> object) {
  try {
    return std::make_unique<Wrapper>(std::move(object));
  } catch (const std::bad_alloc&) {
    throw AutomationError{};
  }
}

}  // namespace

std::string MsiRecord::StringData(int32_t field) {
  Arguments arguments;
  arguments.Int(field);
  Variant result;
  Invoke(object_.get(), dispid::kRecordStringData, DISPATCH_PROPERTYGET, arguments, result.get());
  ConvertResult(result, VT_BSTR);
  std::optional<std::string> text = FromBstr(result.value().bstrVal);
  if (!text) ThrowFailure(E_INVALIDARG);
  return std::move(*text);
}

void MsiView::Execute() {
  Arguments arguments;
  arguments.NullDispatch();
  Call(object_.get(), dispid::kViewExecute, arguments);
}

std::unique_ptr<RecordObject> MsiView::Fetch() {
  Variant result;
  Invoke(object_.get(), dispid::kViewFetch, DISPATCH_METHOD, Arguments(), result.get());
  ComPtr<IDispatch> record = TakeObject(result);
  if (!record) return nullptr;
  return Wrap<MsiRecord>(std::move(record));
}

void MsiView::Close() { Call(object_.get(), dispid::kViewClose); }

std::unique_ptr<ViewObject> MsiDatabase::OpenView(const std::string& sql) {
  Arguments arguments;
  arguments.String(sql);
  Variant result;
  Invoke(object_.get(), dispid::kDatabaseOpenView, DISPATCH_METHOD, arguments, result.get());
  return Wrap<MsiView>(RequireObject(result));
}

void MsiDatabase::Commit() { Call(object_.get(), dispid::kDatabaseCommit); }

std::unique_ptr<DatabaseObject> MsiInstaller::OpenDatabase(const std::string& path,
                                                           int32_t openMode) {
  Arguments arguments;
  arguments.String(path).Int(openMode);
  Variant result;
  Invoke(object_.get(), dispid::kInstallerOpenDatabase, DISPATCH_METHOD, arguments, result.get());
  return Wrap<MsiDatabase>(RequireObject(result));
}

int32_t MsiInstaller::GetUILevel() {
  Variant result;
  Invoke(object_.get(), dispid::kInstallerUILevel, DISPATCH_PROPERTYGET, Arguments(), result.get());
  ConvertResult(result, VT_I4);
  return result.value().lVal;
}

void MsiInstaller::PutUILevel(int32_t level) {
  Arguments arguments;
  arguments.Int(level);
  Invoke(object_.get(), dispid::kInstallerUILevel, DISPATCH_PROPERTYPUT, arguments, nullptr);
}

void MsiInstaller::InstallProduct(const std::string& packagePath,
                                  const std::string& propertyValues) {
  Arguments arguments;
  arguments.String(packagePath).String(propertyValues);
  Call(object_.get(), dispid::kInstallerInstallProduct, arguments);
}

int32_t ComAutomation::InitializeCom() { return ::CoInitialize(nullptr); }

void ComAutomation::UninitializeCom() { ::CoUninitialize(); }

std::unique_ptr<InstallerObject> ComAutomation::CreateInstallerObject() {
  CLSID classId;
  if (FAILED(::CLSIDFromProgID(L"WindowsInstaller.Installer", &classId))) throw AutomationError{};
  IDispatch* created = nullptr;
  const HRESULT result = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER,
                                            kDispatchInterface, reinterpret_cast<void**>(&created));
  ComPtr<IDispatch> installer(created);
  if (FAILED(result) || !installer) throw AutomationError{};
  return Wrap<MsiInstaller>(std::move(installer));
}

}  // namespace setup::win32
