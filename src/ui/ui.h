// The small part of the widget layer that the engines use directly: message boxes, the common
// file dialogs and "let pending events run". The windowed program installs its implementation;
// tests install ui::Recorder.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tv::ui {

// MessageBox flags and answers, as Windows numbers them.
namespace mb {
inline constexpr std::uint32_t Ok = 0x0, YesNo = 0x4;
inline constexpr std::uint32_t IconError = 0x10, IconQuestion = 0x20, IconExclamation = 0x30,
                               IconInformation = 0x40;
inline constexpr std::uint32_t DefButton2 = 0x100;
inline constexpr int IdOk = 1, IdYes = 6, IdNo = 7;
}  // namespace mb

// An open or save dialog as GetOpenFileNameA / GetSaveFileNameA are given it.
struct FileDialog {
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // caption, pattern ("*.exe;*.dll")
  int filterIndex = 1;        // 1-based
  std::string fileName;       // proposed name
  std::string initialDir;     // "" : the system's choice
  std::string defaultExt;
  std::uint32_t flags = 0;    // OFN_* flags (0x200 multiple selection, 0x80000 explorer ...)
  std::uint32_t maxFile = 260;  // characters of the name buffer
};

class Ui {
 public:
  virtual ~Ui() = default;
  virtual int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) = 0;
  virtual void DoEvents() = 0;
  // The dialog's result as the ANSI call leaves it in the name buffer: one full path, or for a
  // multiple selection the folder, a NUL, the names each followed by a NUL, and one more NUL.
  // "" when the user cancels. Without a window system nothing is chosen.
  virtual std::string GetOpenFileName(const FileDialog&) { return {}; }
  virtual std::string GetSaveFileName(const FileDialog&) { return {}; }
  // The progress window of the tools (FrmProg): shown modeless with its caption and a bar of
  // `maximum` steps, moved on, and unloaded. While the tools run they disable the main window.
  virtual void ShowProgress(const std::string& caption, int maximum) { (void)caption, (void)maximum; }
  virtual void SetProgress(int value) { (void)value; }
  virtual void CloseProgress() {}
  virtual void EnableMainWindow(bool enabled) { (void)enabled; }
};

// Records what it is asked; answers message boxes from a queue (IdYes when the queue is empty).
class Recorder : public Ui {
 public:
  struct Message {
    std::string text, title;
    std::uint32_t flags;
  };
  std::vector<Message> messages;
  std::vector<int> answers;
  int doEvents = 0;
  std::vector<FileDialog> dialogs;          // every file dialog shown, in order
  std::vector<std::string> dialogAnswers;   // their results, in order ("" = cancel when empty)
  // Progress window and main window, in order: "progress <caption> <max>", "value <n>",
  // "close progress", "main disabled", "main enabled".
  std::vector<std::string> windowEvents;
  int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) override;
  void DoEvents() override { ++doEvents; }
  std::string GetOpenFileName(const FileDialog& d) override { return Dialog(d); }
  std::string GetSaveFileName(const FileDialog& d) override { return Dialog(d); }
  void ShowProgress(const std::string& caption, int maximum) override {
    windowEvents.push_back("progress " + caption + " " + std::to_string(maximum));
  }
  void SetProgress(int value) override { windowEvents.push_back("value " + std::to_string(value)); }
  void CloseProgress() override { windowEvents.push_back("close progress"); }
  void EnableMainWindow(bool enabled) override { windowEvents.push_back(enabled ? "main enabled" : "main disabled"); }

 private:
  std::string Dialog(const FileDialog& d);
};

Ui& Current();
void Install(Ui* ui);  // nullptr: back to a silent default (answers Yes/OK, no events)

inline int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) {
  return Current().MessageBox(text, title, flags);
}
inline void DoEvents() { Current().DoEvents(); }
inline std::string GetOpenFileName(const FileDialog& d) { return Current().GetOpenFileName(d); }
inline std::string GetSaveFileName(const FileDialog& d) { return Current().GetSaveFileName(d); }

// One row of a list view as plain data: column 0 text, sub-items 1.., small icon (-1: none).
struct ListRow {
  std::string text;
  std::vector<std::string> subItems;
  int icon = -1;
  std::string iconKey;  // for icons keyed by name ("PID1234"), empty when unused
};
struct ListContent {
  std::vector<ListRow> rows;
  std::string status;  // text of the first status panel
};

}  // namespace tv::ui
