// Internals of the Win32 widget layer shared by its source files: text conversion, the
// toolkit's state (fonts, forms, icons) and the node every child window of ours answers to.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/win32/win32_toolkit.h"

namespace tv::ui::w32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* text, int length = -1);
std::string WindowText(HWND hwnd);

inline constexpr UINT kTrayMessage = 2025;
inline constexpr wchar_t kFormClass[] = L"TolvexaForm";
inline constexpr wchar_t kPaneClass[] = L"TolvexaPane";
inline constexpr wchar_t kHoverClass[] = L"TolvexaHoverLabel";

class FormImpl;

// What a parent window (form or pane) asks of a child it holds: command and notification
// messages, and the colours of a static control.
class Node {
 public:
  virtual ~Node() = default;
  virtual void OnCommand(int code) { (void)code; }
  virtual bool OnNotify(NMHDR* header, LRESULT* result) {
    (void)header, (void)result;
    return false;
  }
  // WM_CTLCOLORSTATIC: a brush, or nullptr for the default handling.
  virtual HBRUSH OnColor(HDC dc, HBRUSH parentBack) {
    (void)dc, (void)parentBack;
    return nullptr;
  }
  virtual HWND Hwnd() const = 0;
};

// The Node of one of our windows, from its user data (nullptr for other windows).
Node* NodeOf(HWND hwnd);
void AttachNode(HWND hwnd, Node* node);

// The parents' common handling of WM_COMMAND, WM_NOTIFY and WM_CTLCOLOR*: true when handled.
bool ParentMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, HBRUSH back, LRESULT* result);

}  // namespace tv::ui::w32

namespace tv::ui {

struct Win32Toolkit::State {
  HINSTANCE instance = nullptr;
  HFONT fonts[4] = {};  // plain, bold, underlined, bold and underlined
  std::vector<w32::FormImpl*> forms;  // open forms, oldest first
  std::map<int, HICON> icons16, icons32, icons48;
  bool quit = false;
  UINT taskbarCreated = 0;
  // Notification icon.
  HWND trayOwner = nullptr;
  bool trayShown = false;
  std::string trayTip;
  IconId trayIcon = IconId::Tray;

  HFONT Font(bool bold, bool underline) const { return fonts[(bold ? 1 : 0) + (underline ? 2 : 0)]; }
  // One of the program's icons at `size` pixels (16, 32 or 48), nullptr when missing.
  HICON Icon(IconId id, int size);
  w32::FormImpl* FormOf(HWND hwnd) const;  // the form whose window is hwnd or holds it
  // Takes one message from the queue and handles it; false when there was none (wait false)
  // or WM_QUIT arrived (posted again for the outer loop).
  bool Pump(bool wait);
};

Win32Toolkit::State& Win32State();

}  // namespace tv::ui
