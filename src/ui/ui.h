// The small part of the widget layer that the engines use directly: message boxes and
// "let pending events run". The windowed program installs its implementation; tests install
// ui::Recorder.
#pragma once
#include <cstdint>
#include <string>
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

class Ui {
 public:
  virtual ~Ui() = default;
  virtual int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) = 0;
  virtual void DoEvents() = 0;
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
  int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) override;
  void DoEvents() override { ++doEvents; }
};

Ui& Current();
void Install(Ui* ui);  // nullptr: back to a silent default (answers Yes/OK, no events)

inline int MessageBox(const std::string& text, const std::string& title, std::uint32_t flags) {
  return Current().MessageBox(text, title, flags);
}
inline void DoEvents() { Current().DoEvents(); }

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
