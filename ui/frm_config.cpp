#include "frm_config.h"

#include <array>
#include <new>

#include "config_selection.h"
#include "disabled_thread_windows.h"
#include "frm_config_layout.h"
#include "mod_main.h"
#include "screen_units.h"
#include "unique_any.h"
#include "window_base.h"

namespace selvane {
namespace {

namespace layout = frm_config_layout;

constexpr wchar_t kCaption[] = L"Konfiguration";

// A fixed-size tool window: small caption with a close box, no minimise or
// maximise box, no sizing border, no task-bar entry.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;

// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager sends
// for Enter and Escape: this dialog has neither.
constexpr int kIdFrame1 = 100;
constexpr int kIdOptType = 110;  // + optType index

}  // namespace

class FrmConfig final : public WindowBase<FrmConfig> {
 public:
  static constexpr const wchar_t* kClassName = L"SelvaneFrmConfig";

  explicit FrmConfig(DriverState& state) noexcept : state_(state) {}
  ~FrmConfig() { DestroyOwnWindow(); }

  HRESULT ShowModal() noexcept;

  static void DescribeClass(WNDCLASSEXW& windowClass) noexcept;
  static LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(hwnd, message, wParam, lParam);
  }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

 private:

  bool CreateControls() noexcept;
  HWND Option(OptType option) const { return optType_[static_cast<int>(option)]; }
  bool Checked(OptType option) const {
    return SendMessageW(Option(option), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  void MoveTabStopTo(HWND option) noexcept;
  void Load() noexcept;
  void Unload() noexcept;
  void Close() noexcept;
  void RunModalLoop() noexcept;

  DriverState& state_;
  std::array<HWND, 3> optType_{};
  unique_hfont font_;
  ScreenDpi dpi_;
  DisabledThreadWindows disabled_;
  bool loaded_ = false;  // the load handler ran, so closing runs the unload handler
};

void FrmConfig::DescribeClass(WNDCLASSEXW& windowClass) noexcept {
  // Dialog extra bytes: the window runs on DefDlgProc, which gives it the
  // dialog manager's keyboard handling and focus memory.
  windowClass.cbWndExtra = DLGWINDOWEXTRA;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
}

bool FrmConfig::CreateControls() noexcept {
  auto px = [this](int twips) { return TwipsToPixels(twips, dpi_.x); };
  auto py = [this](int twips) { return TwipsToPixels(twips, dpi_.y); };
  const int frameLeft = px(layout::kFrame1.left);
  const int frameTop = py(layout::kFrame1.top);

  // The controls are the window's children; creation order is the tab order:
  // Frame1, DMX-120, DMX-60, DMX-510USB. The options sit over the frame.
  auto create = [&](const wchar_t* caption, DWORD style, int left, int top,
                    const layout::TwipsRect& r, int id) -> HWND {
    HWND control = CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | style, left, top,
                                   px(r.width), py(r.height), hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
    if (control && font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
  };
  auto createOption = [&](OptType index, const wchar_t* caption, DWORD style, const layout::TwipsRect& r) {
    HWND option = create(caption, BS_AUTORADIOBUTTON | style, frameLeft + px(r.left), frameTop + py(r.top), r,
                         kIdOptType + static_cast<int>(index));
    optType_[static_cast<int>(index)] = option;
    return option != nullptr;
  };

  if (!create(L"Interface-Typ:", BS_GROUPBOX | WS_GROUP, frameLeft, frameTop, layout::kFrame1, kIdFrame1))
    return false;
  // The three options form one group, which starts at the first of them.
  return createOption(OptType::Dmx120, L"DMX-120", WS_GROUP, layout::kOptDmx120) &&
         createOption(OptType::Dmx60, L"DMX-60", 0, layout::kOptDmx60) &&
         createOption(OptType::Dmx510Usb, L"DMX-510USB", 0, layout::kOptDmx510Usb);
}

// Tab reaches the group at its checked option, as in any Windows dialog.
void FrmConfig::MoveTabStopTo(HWND option) noexcept {
  for (HWND each : optType_) {
    const LONG_PTR style = GetWindowLongPtrW(each, GWL_STYLE);
    const LONG_PTR wanted = each == option ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    if (wanted != style) SetWindowLongPtrW(each, GWL_STYLE, wanted);
  }
}

void FrmConfig::Load() noexcept {
  HWND selected = Option(OptionForChannelCount(state_.ChannelCount));
  // Also replaces the design's selection of DMX-60.
  CheckRadioButton(hwnd_, kIdOptType, kIdOptType + 2, GetDlgCtrlID(selected));
  MoveTabStopTo(selected);
  loaded_ = true;
}

void FrmConfig::Unload() noexcept {
  if (!loaded_) return;
  loaded_ = false;
  state_.ChannelCount = ChannelCountForSelection(Checked(OptType::Dmx120), Checked(OptType::Dmx510Usb));
  // Before the window goes, so that activation returns to the host's window.
  disabled_.Reenable();
}

void FrmConfig::Close() noexcept {
  if (!hwnd_) return;
  Unload();
  DestroyWindow(hwnd_);
}

void FrmConfig::RunModalLoop() noexcept {
  while (hwnd_) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The thread is asked to end: close the dialog, and leave the quit
      // message for the host's own loop.
      Close();
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

HRESULT FrmConfig::ShowModal() noexcept {
  // A second Configure from inside the dialog's own loop: it is already shown.
  if (hwnd_) return HRESULT_FROM_WIN32(ERROR_BUSY);

  dpi_ = CurrentScreenDpi();
  font_.reset(CreateDialogFont(layout::kFontPoints, dpi_.y));

  RECT frame{0, 0, TwipsToPixels(layout::kClientWidth, dpi_.x), TwipsToPixels(layout::kClientHeight, dpi_.y)};
  const SIZE client{frame.right, frame.bottom};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + (work.right - work.left - width) / 2;
  const int top = work.top + (work.bottom - work.top - height) / 2;

  // No owner: the host's windows are disabled below instead.
  if (HRESULT hr = CreateWindowOfClass(kExStyle, kCaption, kStyle, left, top, width, height, nullptr); FAILED(hr)) {
    font_.reset();
    return hr;
  }
  HWND hwnd = hwnd_;

  // Some frames measure differently from what AdjustWindowRectEx predicts;
  // the client area is what the design fixes.
  RECT actual{};
  GetClientRect(hwnd, &actual);
  if (actual.right != client.cx || actual.bottom != client.cy) {
    SetWindowPos(hwnd, nullptr, 0, 0, width + client.cx - actual.right, height + client.cy - actual.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  if (HRESULT hr = disabled_.DisableAllExcept(hwnd); FAILED(hr)) {
    DestroyWindow(hwnd);
    font_.reset();
    return hr;
  }
  Load();
  ShowWindow(hwnd, SW_SHOWNORMAL);
  // The dialog manager's way of focusing, so that it also remembers the focus.
  SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Option(OptionForChannelCount(state_.ChannelCount))),
               TRUE);
  RunModalLoop();
  font_.reset();
  return S_OK;
}

LRESULT FrmConfig::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_CREATE:
      if (font_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
      return CreateControls() ? 0 : -1;
    case WM_COMMAND:
      if (LOWORD(wParam) >= kIdOptType && LOWORD(wParam) <= kIdOptType + 2) {
        if (HIWORD(wParam) == BN_CLICKED) MoveTabStopTo(reinterpret_cast<HWND>(lParam));
        return 0;
      }
      // Enter and Escape arrive as IDOK and IDCANCEL: there is no OK and no cancel.
      return 0;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_DESTROY:
      // Destroyed without a WM_CLOSE: the choice still applies.
      Unload();
      break;
    case WM_NCDESTROY:
      optType_ = {};
      break;
  }
  return DefaultProc(hwnd_, message, wParam, lParam);
}

namespace {
void DeleteFrmConfig(FrmConfig* frmConfig) noexcept { delete frmConfig; }
}  // namespace

HRESULT ShowFrmConfig(ThreadState& thread) noexcept {
  if (!thread.frmConfig) {
    thread.frmConfig = {new (std::nothrow) FrmConfig(thread.state), &DeleteFrmConfig};
    if (!thread.frmConfig) return E_OUTOFMEMORY;
  }
  return thread.frmConfig->ShowModal();
}

}  // namespace selvane
