// The window's phone: the link and the transfers over one phone-access backend, the poll
// timer that notices a phone arriving and leaving, and the rule that the window takes no
// input while a phone operation runs. Operations run on the window's thread; their waits
// pump the event loop, so the window and the progress window keep repainting. Messages of an
// operation are shown once it has ended, when the user can answer them.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "phone_link.h"
#include "transfers.h"

namespace trellune::ui {

// Waits by running a nested event loop: timers and paint events go on, while the operation's
// input blocker keeps the user's clicks and keys away. `arm` starts what ends the wait (a
// single-shot timer of that many milliseconds); tests arm it with 0 so nothing sleeps.
class EventLoopSleeper : public phone::Sleeper {
 public:
  using Arm = std::function<void(int milliseconds, std::function<void()> wake)>;
  EventLoopSleeper();
  explicit EventLoopSleeper(Arm arm) : arm_(std::move(arm)) {}
  void Sleep(int milliseconds) override;
  const std::vector<int>& Pauses() const { return pauses_; }

 private:
  Arm arm_;
  std::vector<int> pauses_;
};

class PhoneController : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    std::function<void(const std::string& firmwareId)> applyProfile;
    std::function<bool()> menuLoaded;
    std::function<void(const phone::PhoneMessage&)> report;  // shown after the operation
  };

  // `api` may be null: no phone backend, no phone ever.
  PhoneController(std::unique_ptr<phone::P2kApi> api, phone::Sleeper& sleeper,
                  phone::Progress& progress, Hooks hooks, QObject* parent = nullptr);
  ~PhoneController() override;

  // ConnectPhone, a first look for the phone, then a look every `pollMs`.
  void Start(int pollMs = 500);
  // One look for a phone arriving or leaving (what the timer does).
  void Poll();

  bool HasBackend() const { return api_ != nullptr; }
  // A phone on the USB cable that is still a modem: it takes commands once switched, which
  // happens when the user asks (SwitchPhoneToCommandMode), never by itself.
  bool ModemPhoneWaiting() const;
  // Switches that phone to command mode with the progress window showing what goes on, then
  // looks for it; a failure is reported.
  void SwitchPhoneToCommandMode();
  bool Busy() const { return busy_; }
  phone::PhoneSession& Session() { return link_->Session(); }
  const phone::PhoneIndicators& Indicators() const { return link_->Indicators(); }
  const std::string& FirmwareId() const { return link_->PhoneFirmwareId(); }
  phone::PhoneTransfers& Transfers() { return *transfers_; }

  // Runs a phone operation: no second one starts, user input is dropped, the poll waits, and
  // the operation's messages are reported when it has ended. Afterwards the phone is looked
  // for once more, so a phone pulled out meanwhile is known. False when one is running.
  bool Run(const std::function<void()>& operation, bool lookAfter = true);
  // Something to do once the running operation has ended (a message to show); at once when
  // none runs.
  void After(std::function<void()> action);

 Q_SIGNALS:
  // The indicators (connection, status text, enabled commands) changed.
  void Changed();

 private:
  void Flush();
  // Tells the window when a modem-mode phone appears or goes.
  void NoteModemPhone();

  std::unique_ptr<phone::P2kApi> api_;
  phone::Sleeper& sleeper_;
  phone::Progress& progress_;
  Hooks hooks_;
  std::unique_ptr<phone::PhoneLink> link_;
  std::unique_ptr<phone::PhoneTransfers> transfers_;
  QTimer poll_;
  bool busy_ = false;
  bool modemWaiting_ = false;  // as last told through Changed()
  std::vector<std::function<void()>> pending_;
};

}  // namespace trellune::ui
