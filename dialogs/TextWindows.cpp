#include "dialogs/TextWindows.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "dialogs/WindowHandles.h"

namespace kvl::dialogs {

namespace {

constexpr char kTextWindowClass[] = "TfrmTextDlg";
constexpr char kChoiceWindowClass[] = "TfrmMultiDlg";
constexpr int kInitialClientHeight = 211;
constexpr int kCheckBoxSize = 13;
constexpr int kHorizontalAllowance = 45;  // room for the check box beside the widest entry
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// One open window: what it shows and how it ended. Lives on the stack of the call.
struct WindowState {
  WindowKind kind = WindowKind::Text;
  int maximum = kLongestDialogText;
  bool singleChoice = false;
  int mode = 0;
  const std::vector<ChoiceItem>* items = nullptr;
  HFONT font = nullptr;
  int entryHeight = 16;
  HWND window = nullptr;
  HWND body = nullptr;
  HWND counter = nullptr;
  WNDPROC bodyProcedure = nullptr;
  bool done = false;
  std::string result;
};

WindowState* StateOf(HWND window) { return reinterpret_cast<WindowState*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

std::string TextOf(HWND window) {
  std::string text(static_cast<std::size_t>(std::max(0, GetWindowTextLengthA(window))) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void UpdateCounter(const WindowState& state) {
  const int length = std::max(0, GetWindowTextLengthA(state.body));
  SetWindowTextA(state.counter, CounterText(static_cast<std::size_t>(length), state.maximum).c_str());
}

std::vector<bool> TicksOf(HWND list) {
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  std::vector<bool> ticks(static_cast<std::size_t>(std::max<LRESULT>(0, count)));
  for (std::size_t entry = 0; entry < ticks.size(); ++entry)
    ticks[entry] = SendMessageA(list, LB_GETITEMDATA, entry, 0) == 1;
  return ticks;
}

void ToggleListEntry(const WindowState& state, std::size_t entry) {
  const std::vector<bool> before = TicksOf(state.body);
  std::vector<bool> after = before;
  ToggleEntry(after, entry, state.singleChoice);
  for (std::size_t i = 0; i < after.size(); ++i)
    if (after[i] != before[i]) SendMessageA(state.body, LB_SETITEMDATA, i, after[i] ? 1 : 0);
  InvalidateRect(state.body, nullptr, FALSE);
}

// OK keeps what the window answers; everything else ends it with the empty text.
void Finish(WindowState& state, bool confirmed) {
  state.result.clear();
  if (confirmed && state.kind == WindowKind::Text) state.result = WithCrLfBreaks(TextOf(state.body));
  if (confirmed && state.kind == WindowKind::Choice)
    state.result = ChoiceResult(*state.items, TicksOf(state.body), state.singleChoice, state.mode);
  state.done = true;
}

// A check box and the entry's text; the tick is the entry's item data.
void DrawEntry(const WindowState& state, const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1)) {
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
    return;
  }
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int height = item.rcItem.bottom - item.rcItem.top;
  RECT box{item.rcItem.left + 2, item.rcItem.top + (height - kCheckBoxSize) / 2, 0, 0};
  box.right = box.left + kCheckBoxSize;
  box.bottom = box.top + kCheckBoxSize;
  DrawFrameControl(item.hDC, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (item.itemData == 1 ? DFCS_CHECKED : 0));
  std::string text(static_cast<std::size_t>(std::max<LRESULT>(0, SendMessageA(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0))) + 1, '\0');
  text.resize(static_cast<std::size_t>(
      std::max<LRESULT>(0, SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data())))));
  RECT textArea = item.rcItem;
  textArea.left = box.right + 4;
  const HGDIOBJ previousFont = SelectObject(item.hDC, state.font);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &textArea,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
  SelectObject(item.hDC, previousFont);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

// The edit field would cut a line break in two with one character of room left; a
// lone CR is no line break, so Enter then adds nothing.
bool RefusesLineBreak(const WindowState& state, UINT message, WPARAM wParam) {
  if (message != WM_CHAR || (wParam != '\r' && wParam != '\n')) return false;
  DWORD start = 0;
  DWORD end = 0;
  SendMessageA(state.body, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const long long kept = static_cast<long long>(GetWindowTextLengthA(state.body)) - (end - start);
  return state.maximum - kept < 2;
}

// A click anywhere on an entry, and the space bar on the current entry, tick or untick
// it; the edit field refuses half a line break.
LRESULT CALLBACK BodyProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowState* state = StateOf(list);
  if (state == nullptr) return DefWindowProcA(list, message, wParam, lParam);
  try {
    if (state->kind == WindowKind::Text) {
      if (RefusesLineBreak(*state, message, wParam)) return 0;
      return CallWindowProcA(state->bodyProcedure, list, message, wParam, lParam);
    }
    switch (message) {
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        const LRESULT answer = CallWindowProcA(state->bodyProcedure, list, message, wParam, lParam);
        const LRESULT hit = SendMessageA(list, LB_ITEMFROMPOINT, 0, lParam);
        const LRESULT current = SendMessageA(list, LB_GETCARETINDEX, 0, 0);
        if (HIWORD(hit) == 0 && current >= 0) ToggleListEntry(*state, static_cast<std::size_t>(current));
        return answer;
      }
      case WM_KEYDOWN:
        if (wParam != VK_SPACE) break;
        if (const LRESULT current = SendMessageA(list, LB_GETCARETINDEX, 0, 0); current >= 0)
          ToggleListEntry(*state, static_cast<std::size_t>(current));
        return 0;
      case WM_CHAR:
        if (wParam == ' ') return 0;  // no search for an entry starting with a blank
        break;
      default: break;
    }
  } catch (...) {
    Finish(*state, false);
    return 0;
  }
  return CallWindowProcA(state->bodyProcedure, list, message, wParam, lParam);
}

std::optional<LRESULT> Handle(WindowState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        Finish(state, LOWORD(wParam) == IDOK);
        return 0;
      }
      if (LOWORD(wParam) == kBodyControlId && HIWORD(wParam) == EN_CHANGE && state.counter != nullptr) UpdateCounter(state);
      return std::nullopt;
    case WM_CLOSE:
      Finish(state, false);
      return 0;
    case WM_DESTROY:
      state.done = true;
      return std::nullopt;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(state.entryHeight);
      return TRUE;
    case WM_DRAWITEM:
      if (wParam != kBodyControlId) return std::nullopt;
      DrawEntry(state, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    default: return std::nullopt;
  }
}

// The dialog manager does the rest (Tab, Enter for the default button, focus).
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
  }
  WindowState* state = StateOf(window);
  if (state != nullptr) {
    try {
      if (const std::optional<LRESULT> answer = Handle(*state, message, wParam, lParam)) return *answer;
    } catch (...) {
      Finish(*state, false);
      return 0;
    }
  }
  return DefDlgProcA(window, message, wParam, lParam);
}

HWND AddControl(const WindowState& state, const char* windowClass, const std::string& text, DWORD style,
                DWORD exStyle, int id, HFONT font) {
  const HWND control = CreateWindowExA(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                                       state.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       PluginInstance(), nullptr);
  if (control != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void Place(HWND control, const PixelRect& rect) {
  if (control != nullptr) MoveWindow(control, rect.left, rect.top, rect.width, rect.height, FALSE);
}

// The prompt's height when word-wrapped to the label's width; an empty prompt keeps one line.
int LabelHeight(HWND label, HFONT font, const std::string& prompt, int width) {
  const WindowDC dc(label, font);
  if (dc.get() == nullptr) return 0;
  const std::string measured = prompt.empty() ? std::string(" ") : prompt;
  RECT area{0, 0, width, 0};
  DrawTextA(dc.get(), measured.c_str(), static_cast<int>(measured.size()), &area,
            DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT);
  return area.bottom - area.top;
}

int EntryHeight(HFONT font) {
  const WindowDC dc(nullptr, font);
  TEXTMETRICA metrics{};
  if (dc.get() == nullptr || !GetTextMetricsA(dc.get(), &metrics)) return 16;
  return std::max<int>(metrics.tmHeight + 2, kCheckBoxSize + 3);
}

void FillList(const WindowState& state) {
  const HWND list = state.body;
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_INITSTORAGE, state.items->size(), 0);
  int widest = 0;
  const WindowDC dc(list, state.font);
  for (const ChoiceItem& item : *state.items) {
    const LRESULT entry = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.label.c_str()));
    if (entry < 0) break;
    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(entry), item.preTicked ? 1 : 0);
    SIZE size{};
    if (dc.get() != nullptr &&
        GetTextExtentPoint32A(dc.get(), item.label.c_str(), static_cast<int>(item.label.size()), &size))
      widest = std::max<int>(widest, size.cx);
  }
  SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + kHorizontalAllowance), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
}

struct Texts {
  const std::string& caption;
  const std::string& prompt;
  const std::string& okCaption;
  const std::string& cancelCaption;
};

// Creates the window and its controls, lays them out around the measured prompt,
// centres it on the screen, shows it and runs its messages until it ends.
std::string RunWindow(WindowState& state, const Texts& texts, const std::string& initialText) {
  const bool isText = state.kind == WindowKind::Text;
  const WindowClass windowClass(isText ? kTextWindowClass : kChoiceWindowClass, WindowProcedure, DLGWINDOWEXTRA);
  const UniqueFont font = CreatePointFont("Tahoma", 8, FW_NORMAL);
  const UniqueFont boldFont = CreatePointFont("Tahoma", 8, FW_BOLD);
  if (!windowClass.usable()) return {};
  state.font = font.get();
  state.entryHeight = EntryHeight(font.get());

  UniqueWindow window;  // destroyed after the thread's windows are enabled again
  ThreadWindowsDisabled disabled;
  const WindowLayout initial = LayOutWindow(state.kind, 0, kInitialClientHeight);
  window.reset(CreateWindowExA(kWindowExStyle, isText ? kTextWindowClass : kChoiceWindowClass,
                               texts.caption.c_str(), kWindowStyle, 0, 0,
                               initial.clientWidth, kInitialClientHeight, nullptr, nullptr, PluginInstance(), &state));
  if (!window) return {};
  state.window = window.get();

  const HWND label = AddControl(state, "STATIC", texts.prompt, SS_LEFT | SS_NOPREFIX, 0, kPromptControlId, font.get());
  if (isText) {
    state.body = AddControl(state, "EDIT", initialText,
                            WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, WS_EX_CLIENTEDGE,
                            kBodyControlId, font.get());
    SendMessageA(state.body, EM_SETLIMITTEXT, static_cast<WPARAM>(state.maximum), 0);
  } else {
    state.body = AddControl(state, "LISTBOX", "",
                            WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                                LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                            WS_EX_CLIENTEDGE, kBodyControlId, font.get());
  }
  const HWND ok = AddControl(state, "BUTTON", texts.okCaption,
                             WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, font.get());
  const HWND cancel = AddControl(state, "BUTTON", texts.cancelCaption,
                                 WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, font.get());
  if (isText) state.counter = AddControl(state, "STATIC", "", SS_CENTER | SS_NOPREFIX, 0, kCounterControlId, boldFont.get());
  if (label == nullptr || state.body == nullptr || ok == nullptr || cancel == nullptr || (isText && !state.counter))
    return {};
  SetWindowLongPtrA(state.body, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  state.bodyProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(state.body, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BodyProcedure)));
  if (!isText) FillList(state);

  // The client area may grow up to the work area's height; a longer prompt is cut.
  RECT workArea{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  const int frameHeight = frame.bottom - frame.top;
  const WindowLayout layout = LayOutWindow(state.kind, LabelHeight(label, font.get(), texts.prompt, initial.label.width),
                                           workArea.bottom - workArea.top - frameHeight);
  Place(label, layout.label);
  Place(state.body, layout.body);
  Place(ok, layout.ok);
  Place(cancel, layout.cancel);
  Place(state.counter, layout.counter);
  const int width = layout.clientWidth + frame.right - frame.left;
  const int height = layout.clientHeight + frameHeight;
  SetWindowPos(window.get(), nullptr, std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2),
               std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2), width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);

  ShowWindow(window.get(), SW_SHOW);
  SetForegroundWindow(window.get());
  SetFocus(state.body);
  if (isText) {
    const int length = GetWindowTextLengthA(state.body);
    SendMessageA(state.body, EM_SETSEL, static_cast<WPARAM>(length), length);  // type after the text
    SendMessageA(state.body, EM_SCROLLCARET, 0, 0);
    UpdateCounter(state);
  }

  RunModalLoop(window.get(), state.done, [&](MSG& message) {
    const bool ours = message.hwnd == window.get() || IsChild(window.get(), message.hwnd);
    if (ours && message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      Finish(state, false);
      return true;
    }
    return IsDialogMessageA(window.get(), &message) != 0;
  });
  disabled.restore();
  return state.done ? state.result : std::string();
}

}  // namespace

std::string ShowTextWindow(const TextWindowRequest& request) {
  WindowState state;
  state.kind = WindowKind::Text;
  state.maximum = request.maximum;
  return RunWindow(state, {request.caption, request.prompt, request.okCaption, request.cancelCaption}, request.text);
}

std::string ShowChoiceWindow(const ChoiceWindowRequest& request) {
  WindowState state;
  state.kind = WindowKind::Choice;
  state.singleChoice = request.singleChoice;
  state.mode = request.mode;
  state.items = &request.items;
  return RunWindow(state, {request.caption, request.prompt, request.okCaption, request.cancelCaption}, {});
}

}  // namespace kvl::dialogs
