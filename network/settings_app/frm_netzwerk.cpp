#include "frm_netzwerk.h"

#include <array>
#include <cwchar>
#include <memory>
#include <string>

#include "com_port_list.h"
#include "frm_netzwerk_layout.h"
#include "log_view.h"
#include "network_log.h"
#include "screen_units.h"
#include "settings_file.h"
#include "settings_form.h"
#include "settings_location.h"
#include "test_pattern_sender.h"
#include "unique_any.h"
#include "utf8_text.h"
#include "window_base.h"

namespace selvane::netsettings {
namespace {

constexpr wchar_t kCaption[] = L"Selvane Netzwerk";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Enter and Escape arrive as IDOK and IDCANCEL: they save and close.
constexpr int kIdSave = IDOK;
constexpr int kIdClose = IDCANCEL;
constexpr int kIdTest = 300;
constexpr int kIdRefresh = 301;
constexpr UINT kTestDone = WM_APP + 1;

// Each field is a label, the field, and the message beside it, in this order
// of tabbing; ids kIdFieldBase + 10 * field + part.
constexpr int kIdFieldBase = 200;
enum Part { kLabel, kInput, kMessage };
int FieldId(Field f, Part part) { return kIdFieldBase + 10 * static_cast<int>(f) + part; }

constexpr const wchar_t* kFieldLabels[kFieldCount] = {L"&Protokoll:",        L"&Ziel:",      L"&Universum:",
                                                      L"P&riorit\u00e4t:", L"&Quellname:", L"A&nschluss:"};
// In the order of the list; the index is what the list selects.
constexpr const wchar_t* kProtocols[] = {L"sACN", L"Art-Net", L"USB-Pro"};
enum ProtocolItem { kSacnItem, kArtNetItem, kUsbProItem };

// The path and its status; per field three; three buttons, the test's result; the log, its label and refresh.
constexpr size_t kControlCount = 3 + 3 * kFieldCount + 4 + 3;

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

}  // namespace

class FrmNetzwerk final : public WindowBase<FrmNetzwerk> {
 public:
  static constexpr const wchar_t* kClassName = L"SelvaneNetzwerk";

  explicit FrmNetzwerk(const wchar_t* libraryFolder) : libraryFolder_(libraryFolder) {}
  ~FrmNetzwerk() { DestroyOwnWindow(); }

  HRESULT Create(int showCommand) noexcept;

  static void DescribeClass(WNDCLASSEXW& windowClass) noexcept {
    // DefDlgProc: the dialog manager's keyboard handling (Tab, accelerators,
    // Enter, Escape) and focus memory.
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  }
  static LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcW(hwnd, message, wParam, lParam);
  }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

 private:
  struct Control {
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
    int id;
    layout::TwipsRect rect;
  };
  static std::array<Control, kControlCount> Design();

  int Dpi() const;
  void ApplyDpi(int dpi);
  bool CreateControls();
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  std::wstring Text(int id) const;
  void SetText(int id, const std::wstring& text) { SetDlgItemTextW(hwnd_, id, text.c_str()); }

  void Open();
  void ShowFields(const SettingsFields& fields);
  SettingsFields FieldsOnScreen() const;
  LRESULT ProtocolOnScreen() const { return SendMessageW(Item(FieldId(Field::Protocol, kInput)), CB_GETCURSEL, 0, 0); }
  void EnableFieldsOfProtocol();
  void ClearMessages();
  bool CheckedConfig(net::NetworkConfig& config);
  void Save();
  void Test();
  void ShowTestResult();
  void RefreshLog();

  const wchar_t* libraryFolder_;
  net::SettingsLocation location_;
  bool located_ = false;
  int dpi_ = 96;
  unique_hfont font_;
  std::unique_ptr<TestPatternSender> sender_ = MakeEngineTestPatternSender();
};

std::array<FrmNetzwerk::Control, kControlCount> FrmNetzwerk::Design() {
  using namespace layout;
  constexpr DWORD kLabelStyle = SS_LEFT | SS_NOTIFY;
  constexpr DWORD kEditStyle = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
  std::array<Control, kControlCount> d{};
  size_t i = 0;
  d[i++] = {L"STATIC", L"&Datei:", kLabelStyle, 100, {kLabelLeft, kPathTop + kLabelDrop, kLabelWidth, kFieldHeight}};
  d[i++] = {L"EDIT", L"", kEditStyle | ES_READONLY, 101, {kFieldLeft, kPathTop, kWideWidth, kFieldHeight}};
  d[i++] = {L"STATIC", L"", SS_LEFT, 102, kFileStatus};
  for (int k = 0; k < kFieldCount; ++k) {
    const Field f = static_cast<Field>(k);
    const int top = kFirstFieldTop + k * kFieldPitch;
    d[i++] = {L"STATIC", kFieldLabels[k], kLabelStyle, FieldId(f, kLabel),
              {kLabelLeft, top + kLabelDrop, kLabelWidth, kFieldHeight}};
    if (f == Field::Protocol)
      d[i++] = {L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, FieldId(f, kInput),
                {kFieldLeft, top, kFieldWidth, kListHeight}};
    else if (f == Field::Port)  // the ports that exist, or any name typed in
      d[i++] = {L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, FieldId(f, kInput),
                {kFieldLeft, top, kFieldWidth, kListHeight}};
    else
      d[i++] = {L"EDIT", L"", kEditStyle, FieldId(f, kInput), {kFieldLeft, top, kFieldWidth, kFieldHeight}};
    d[i++] = {L"STATIC", L"", SS_LEFT, FieldId(f, kMessage), {kMessageLeft, top, kMessageWidth, kMessageHeight}};
  }
  d[i++] = {L"BUTTON", L"&Speichern", WS_TABSTOP | BS_DEFPUSHBUTTON, kIdSave,
            {kSaveLeft, kButtonTop, kButtonWidth, kButtonHeight}};
  d[i++] = {L"BUTTON", L"&Testen", kButton, kIdTest, {kTestLeft, kButtonTop, kButtonWidth, kButtonHeight}};
  d[i++] = {L"BUTTON", L"S&chlie\u00dfen", kButton, kIdClose, {kCloseLeft, kButtonTop, kButtonWidth, kButtonHeight}};
  d[i++] = {L"STATIC", L"", SS_LEFT, 302, kTestResult};
  d[i++] = {L"STATIC", L"&Ereignisse (Selvane-Netzwerk.log, das neueste unten):", kLabelStyle, 303, kLogLabel};
  d[i++] = {L"EDIT", L"", WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 304,
            kLog};
  d[i++] = {L"BUTTON", L"&Aktualisieren", kButton, kIdRefresh, kRefresh};
  return d;
}

int FrmNetzwerk::Dpi() const {
  // Windows 10's per-window DPI where there is one; the screen's otherwise.
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow && hwnd_)
    if (const UINT dpi = getDpiForWindow(hwnd_)) return static_cast<int>(dpi);
  return CurrentScreenDpi().y;
}

// The font and every control's place for `dpi`.
void FrmNetzwerk::ApplyDpi(int dpi) {
  dpi_ = dpi;
  font_.reset(CreateDialogFont(layout::kFontPoints, dpi));
  for (const Control& c : Design()) {
    HWND control = Item(c.id);
    if (!control) continue;
    SetWindowPos(control, nullptr, TwipsToPixels(c.rect.left, dpi), TwipsToPixels(c.rect.top, dpi),
                 TwipsToPixels(c.rect.width, dpi), TwipsToPixels(c.rect.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (font_) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  }
}

bool FrmNetzwerk::CreateControls() {
  // Creation order is the tab order: each label comes right before its field.
  for (const Control& c : Design()) {
    if (!CreateWindowExW(c.windowClass == std::wstring_view(L"EDIT") ? WS_EX_CLIENTEDGE : 0, c.windowClass, c.text,
                         WS_CHILD | WS_VISIBLE | c.style, 0, 0, 0, 0, hwnd_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), ThisModule(), nullptr))
      return false;
  }
  HWND protocol = Item(FieldId(Field::Protocol, kInput));
  for (const wchar_t* name : kProtocols) SendMessageW(protocol, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  HWND port = Item(FieldId(Field::Port, kInput));
  for (const std::wstring& name : ExistingComPorts())
    SendMessageW(port, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  return true;
}

std::wstring FrmNetzwerk::Text(int id) const {
  HWND control = Item(id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

HRESULT FrmNetzwerk::Create(int showCommand) noexcept {
  if (HRESULT hr = CreateWindowOfClass(0, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr);
      FAILED(hr))
    return hr;
  ApplyDpi(Dpi());
  RECT frame{0, 0, TwipsToPixels(layout::kClientWidth, dpi_), TwipsToPixels(layout::kClientHeight, dpi_)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Open();
  RefreshLog();
  ShowWindow(hwnd_, showCommand);
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(FieldId(Field::Protocol, kInput))), TRUE);
  return S_OK;
}

void FrmNetzwerk::Open() {
  located_ = net::LocateSettings(libraryFolder_, location_);
  if (!located_) {
    SetText(102, L"Kein Ort f\u00fcr die Einstellungen: %APPDATA% ist nicht gesetzt.");
    ShowFields(DefaultFields());
    return;
  }
  SetText(101, location_.path);
  std::string text;
  DWORD error = 0;
  std::wstring status;
  switch (ReadSettingsFile(location_.path, text, error)) {
    case ReadOutcome::Missing:
      ShowFields(DefaultFields());
      status = L"Die Datei gibt es noch nicht: es gelten die Vorgaben. \u201eSpeichern\u201c legt sie an.";
      break;
    case ReadOutcome::Failed:
      ShowFields(DefaultFields());
      status = L"Die Datei kann nicht gelesen werden: " + SystemMessage(error);
      break;
    case ReadOutcome::Read: {
      ShowFields(ReadFields(text.data(), text.size()));
      const net::ConfigResult result = net::ParseNetworkConfig(text.data(), text.size());
      if (result.Ok()) {
        status = L"Diese Einstellungen sind in Kraft.";
      } else {
        char reason[256];
        net::DescribeConfigProblem(result, reason, sizeof reason);
        status = L"Die Netzwerk-Bibliotheken lehnen diese Datei ab (" + Utf8ToWide(reason) +
                 L"). Die Felder zeigen, was sich lesen lie\u00df.";
        if (const Field f = FieldOfKey(result.key); f != Field::None)
          SetText(FieldId(f, kMessage), Utf8ToWide(FieldMessage(result)));
      }
      break;
    }
  }
  if (location_.besideLibraries && !location_.writable)
    status += L" Diese Datei neben den Bibliotheken kann hier nicht geschrieben werden: \u201eSpeichern\u201c "
              L"schreibt nichts.";
  SetText(102, status);
}

void FrmNetzwerk::ShowFields(const SettingsFields& fields) {
  HWND protocol = Item(FieldId(Field::Protocol, kInput));
  // Any case, as the libraries read it; an unknown protocol selects nothing.
  const std::wstring name = Utf8ToWide(fields[Field::Protocol]);
  SendMessageW(protocol, CB_SETCURSEL,
               static_cast<WPARAM>(SendMessageW(protocol, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                reinterpret_cast<LPARAM>(name.c_str()))),
               0);
  for (Field f : {Field::Destination, Field::Universe, Field::Priority, Field::SourceName, Field::Port})
    SetText(FieldId(f, kInput), Utf8ToWide(fields[f]));
  EnableFieldsOfProtocol();
}

SettingsFields FrmNetzwerk::FieldsOnScreen() const {
  SettingsFields fields;
  for (int k = 0; k < kFieldCount; ++k) fields.values[k] = WideToUtf8(Text(FieldId(static_cast<Field>(k), kInput)));
  return fields;
}

// Priority and source name mean nothing to Art-Net; a USB interface takes a
// port and nothing of a network.
void FrmNetzwerk::EnableFieldsOfProtocol() {
  const LRESULT protocol = ProtocolOnScreen();
  const bool usbPro = protocol == kUsbProItem, sacn = !usbPro && protocol != kArtNetItem;
  const struct {
    Field field;
    bool enabled;
  } fields[] = {{Field::Destination, !usbPro}, {Field::Universe, !usbPro}, {Field::Priority, sacn},
                {Field::SourceName, sacn},     {Field::Port, usbPro}};
  for (const auto& f : fields) {
    EnableWindow(Item(FieldId(f.field, kLabel)), f.enabled);
    EnableWindow(Item(FieldId(f.field, kInput)), f.enabled);
  }
}

void FrmNetzwerk::ClearMessages() {
  for (int k = 0; k < kFieldCount; ++k) SetText(FieldId(static_cast<Field>(k), kMessage), L"");
}

// The fields as the libraries would take them, or the message beside the field.
bool FrmNetzwerk::CheckedConfig(net::NetworkConfig& config) {
  ClearMessages();
  const FieldsCheck check = CheckFields(FieldsOnScreen());
  if (check.Ok()) {
    config = check.config;
    return true;
  }
  const Field f = check.field == Field::None ? Field::Protocol : check.field;
  SetText(FieldId(f, kMessage), Utf8ToWide(check.message));
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(FieldId(f, kInput))), TRUE);
  return false;
}

void FrmNetzwerk::Save() {
  net::NetworkConfig config;
  if (!CheckedConfig(config)) {
    SetText(102, L"Nicht gespeichert: ein Wert ist ung\u00fcltig (siehe rechts). Die Datei ist unver\u00e4ndert.");
    return;
  }
  if (!located_) return;
  if (location_.besideLibraries && !location_.writable) {
    // Saved elsewhere, nobody would read it: the file beside the libraries comes first.
    SetText(102, L"Nicht gespeichert: die Datei neben den Bibliotheken kann hier nicht geschrieben werden "
                 L"(keine Schreibrechte). Ein Administrator kann sie \u00e4ndern oder entfernen.");
    return;
  }
  if (const DWORD error = SaveSettingsFile(location_.path, ComposeSettingsText(FieldsOnScreen()))) {
    SetText(102, L"Nicht gespeichert: " + SystemMessage(error) + L" Die Datei ist unver\u00e4ndert.");
    return;
  }
  SetText(102, L"Gespeichert. Laufende Programme \u00fcbernehmen die Einstellungen innerhalb einer Sekunde.");
  net::AppendNetworkLogLine((L"Selvane Netzwerk: Einstellungen gespeichert in " + std::wstring(location_.path)).c_str());
  RefreshLog();
}

void FrmNetzwerk::Test() {
  net::NetworkConfig config;
  if (!CheckedConfig(config)) {
    SetText(302, L"Kein Test: ein Wert ist ung\u00fcltig (siehe rechts).");
    return;
  }
  if (!sender_->Start(ComposeSettingsText(FieldsOnScreen()), hwnd_, kTestDone)) {
    SetText(302, L"Der Test kann nicht beginnen.");
    return;
  }
  EnableWindow(Item(kIdTest), FALSE);
  SetText(302, L"Testmuster l\u00e4uft (5 Sekunden): Alle Kan\u00e4le 50 % \u2026");
}

void FrmNetzwerk::ShowTestResult() {
  const TestPatternResult r = sender_->Result();
  wchar_t to[32];
  if (r.comPort)
    std::swprintf(to, sizeof to / sizeof *to, L"COM%u", r.comPort);
  else
    std::swprintf(to, sizeof to / sizeof *to, L"%u.%u.%u.%u:%u", r.address >> 24, (r.address >> 16) & 255,
                  (r.address >> 8) & 255, r.address & 255, static_cast<unsigned>(r.port));
  wchar_t text[320];
  std::swprintf(text, sizeof text / sizeof *text,
           L"Testmuster gesendet (Alle Kan\u00e4le 50 %%): %u Bilder, %u Fehler%ls, an %ls.", r.frames,
           r.errors, r.lastError ? (L" (zuletzt " + SystemMessage(r.lastError) + L")").c_str() : L"", to);
  SetText(302, r.frames == 0 && !r.problem.empty() ? L"Kein Test: " + Utf8ToWide(r.problem) : std::wstring(text));
  EnableWindow(Item(kIdTest), TRUE);
  net::AppendNetworkLogLine(text);
  RefreshLog();
}

void FrmNetzwerk::RefreshLog() {
  SetText(304, LastLogLines());
  HWND log = Item(304);
  const int end = GetWindowTextLengthW(log);
  SendMessageW(log, EM_SETSEL, end, end);
  SendMessageW(log, EM_SCROLLCARET, 0, 0);
}

LRESULT FrmNetzwerk::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_CREATE:
      return CreateControls() ? 0 : -1;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kIdSave: Save(); return 0;
        case kIdClose: PostMessageW(hwnd_, WM_CLOSE, 0, 0); return 0;
        case kIdTest: Test(); return 0;
        case kIdRefresh: RefreshLog(); return 0;
      }
      if (LOWORD(wParam) == FieldId(Field::Protocol, kInput) && HIWORD(wParam) == CBN_SELCHANGE)
        EnableFieldsOfProtocol();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // The messages beside the fields in red.
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id >= kIdFieldBase && (id - kIdFieldBase) % 10 == kMessage) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(176, 0, 0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case kTestDone:
      ShowTestResult();
      return 0;
    case 0x02E0: {  // WM_DPICHANGED: moved to a screen of another DPI
      ApplyDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
  }
  return DefaultProc(hwnd_, message, wParam, lParam);
}

int RunFrmNetzwerk(const wchar_t* libraryFolder, int showCommand) noexcept {
  FrmNetzwerk window(libraryFolder);
  if (FAILED(window.Create(showCommand))) return 1;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(window.Window(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace selvane::netsettings
