#pragma once
// Shows the system's message boxes as Qt dialogs with one OK button, the
// exclamation icon when the box warns. A box without a title of its own
// carries the application's name.
//
// A box that does not wait (every box but the start-up refusals) is
// non-modal: it belongs to the owner window, comes to the foreground, and
// closes itself kSelbstSchliessenMs after its last message; show() returns
// at once, so the polling loop, the ring and every connection go on while
// it is open. While such a box is open, a further one with the same title
// and owner does not open a box of its own: the open box shows the newest
// text and counts the messages it stands for ("… (2000-mal)"), so a flood
// of unknown commands opens one box, not thousands (the status list and the
// history keep every line). Its text is renewed once per turn of the event
// loop, not per message.
// A waiting box is modal and returns when confirmed.
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "platform/MessageBox.h"

namespace vrd4::app {

class GuiMessageBox final : public platform::MessageBoxSink {
 public:
  static constexpr int kSelbstSchliessenMs = 30'000;

  // The window the non-modal boxes belong to (nullptr: none); its open
  // boxes go with it.
  void besitzerSetzen(QWidget* besitzer) { besitzer_ = besitzer; }
  void show(const std::u16string& text, const std::u16string& title, platform::MeldungsStil stil) override;

  // The text a box shows for `anzahl` messages, the newest being `text`.
  static QString gezaehlt(const QString& text, int anzahl);

 private:
  struct Offen {
    QPointer<QMessageBox> box;
    QString text;
    int anzahl = 0;
    bool erneuern = false;  // its text waits for the next turn of the event loop
  };
  QPointer<QWidget> besitzer_;
  // Shared with the box's pending renewal, which may outlive this object.
  std::map<std::pair<QString, std::uint32_t>, std::shared_ptr<Offen>> offen_;
};

}  // namespace vrd4::app
