// The widget layer over real Win32 windows and the common controls (version 6): forms are
// top-level windows of one registered class, panes and hover labels are child windows of
// classes of their own, the other controls are the system's BUTTON, STATIC, EDIT, progress,
// status-bar and list-view controls. Everything runs on the thread that created the toolkit.
#pragma once
#include <memory>
#include <string>

#include "ui/widgets.h"

namespace tv::ui {

class Win32Toolkit : public Toolkit {
 public:
  Win32Toolkit();
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  // Ui
  int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) override;
  void DoEvents() override;
  std::string GetOpenFileName(const FileDialog& d) override;
  std::string GetSaveFileName(const FileDialog& d) override;

  // Toolkit
  std::unique_ptr<Form> CreateForm(const std::string& name, const std::string& caption,
                                   const Size& client) override;
  void Run() override;
  void Quit() override;
  void AddTrayIcon(Form& owner, const TrayIcon& icon) override;
  void SetTrayTip(const std::string& tip) override;
  void RemoveTrayIcon() override;
  int ShowFileProperties(Form* owner, const std::string& path) override;
  void ShowRunDialog(Form* owner, const std::string& title, const std::string& prompt) override;
  bool ActivateWindowByCaption(const std::string& caption) override;
  void PlaySound(const std::string& file) override;

  // The window handle (HWND) of a form or control made by this toolkit, nullptr otherwise.
  static void* Handle(const Control* control);
  // The tip the notification icon shows now (as the shell was given it).
  std::string TrayTip() const;
  bool TrayShown() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The bytes of the alert sound the program carries (resource 104 of type "SOUND"), "" when
// the resource cannot be read.
std::string AlertSoundBytes();

}  // namespace tv::ui
