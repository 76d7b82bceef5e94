#include "error_info.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "automation_hresult.h"
#include "selvane_h.h"

namespace selvane {
namespace {

constexpr wchar_t kErrorSource[] = L"Selvane.clsOutputDriver";

bool Is(HRESULT hr, AutomationError error) {
  return hr == AutomationHresult(error);
}

const wchar_t* DescriptionFor(HRESULT hr, FailureContext context) {
  if (Is(hr, AutomationError::Overflow)) return L"\u00dcberlauf";
  if (Is(hr, AutomationError::SubscriptOutOfRange)) return L"Index au\u00dferhalb des g\u00fcltigen Bereichs";
  if (Is(hr, AutomationError::TypeMismatch)) return L"Typen unvertr\u00e4glich";
  if (Is(hr, AutomationError::InvalidProcedureCall)) {
    if (context == FailureContext::SaveSetting)
      return L"Ung\u00fcltiger Prozeduraufruf oder ung\u00fcltiges Argument: ohne Anwendungstitel "
             L"und Dateiname kann die Einstellung nicht gespeichert werden";
    return L"Ung\u00fcltiger Prozeduraufruf oder ung\u00fcltiges Argument";
  }
  if (hr == E_OUTOFMEMORY) return L"Nicht gen\u00fcgend Arbeitsspeicher";
  if (hr == E_POINTER) return L"Ung\u00fcltiger Zeiger";
  switch (context) {
    case FailureContext::LoadSetting:
      return L"Die Einstellung konnte nicht aus der Registrierung gelesen werden";
    case FailureContext::SaveSetting:
      return L"Die Einstellung konnte nicht in der Registrierung gespeichert werden";
    case FailureContext::Window:
      return L"Das Fenster konnte nicht erstellt werden";
    case FailureContext::Channel:
    case FailureContext::Other:
      break;
  }
  return L"Unerwarteter Fehler";
}

}  // namespace

HRESULT ReportFailure(HRESULT hr, FailureContext context) noexcept {
  Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetGUID(IID__clsOutputDriver);
    create->SetSource(const_cast<LPOLESTR>(kErrorSource));
    create->SetDescription(const_cast<LPOLESTR>(DescriptionFor(hr, context)));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
  }
  return hr;
}

void ClearErrorInfo() noexcept { SetErrorInfo(0, nullptr); }

}  // namespace selvane
