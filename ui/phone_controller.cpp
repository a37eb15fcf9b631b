#include "phone_controller.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>

#include "usb_phone.h"

namespace trellune::ui {
namespace {

// Drops the user's input to every window while a phone operation runs.
class InputBlocker : public QObject {
 public:
  InputBlocker() { qApp->installEventFilter(this); }
  ~InputBlocker() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::Drop:
      case QEvent::Close:
        event->ignore();
        return true;
      default:
        return false;
    }
  }
};

}  // namespace

EventLoopSleeper::EventLoopSleeper()
    : arm_([](int ms, std::function<void()> wake) { QTimer::singleShot(ms, std::move(wake)); }) {}

void EventLoopSleeper::Sleep(int milliseconds) {
  pauses_.push_back(milliseconds);
  QEventLoop loop;
  arm_(milliseconds, [&loop] { loop.quit(); });
  loop.exec();
}

PhoneController::PhoneController(std::unique_ptr<phone::P2kApi> api, phone::Sleeper& sleeper,
                                 phone::Progress& progress, Hooks hooks, QObject* parent)
    : QObject(parent),
      api_(std::move(api)),
      sleeper_(sleeper),
      progress_(progress),
      hooks_(std::move(hooks)) {
  if (!api_) return;
  phone::PhoneLinkHooks linkHooks;
  linkHooks.applyProfile = [this](const std::string& id) {
    if (hooks_.applyProfile) hooks_.applyProfile(id);
  };
  linkHooks.menuLoaded = [this] { return hooks_.menuLoaded && hooks_.menuLoaded(); };
  auto report = [this](const phone::PhoneMessage& m) {
    After([this, m] {
      if (hooks_.report) hooks_.report(m);
    });
  };
  linkHooks.report = report;
  linkHooks.changed = [this] { Q_EMIT Changed(); };
  link_ = std::make_unique<phone::PhoneLink>(*api_, sleeper_, linkHooks);
  transfers_ =
      std::make_unique<phone::PhoneTransfers>(*api_, link_->Session(), sleeper_, progress, report);
  connect(&poll_, &QTimer::timeout, this, &PhoneController::Poll);
}

PhoneController::~PhoneController() = default;

void PhoneController::Start(int pollMs) {
  if (!api_) return;
  Run(
      [this] {
        if (link_->ConnectPhone()) api_->Poll();
      },
      false);
  NoteModemPhone();
  poll_.start(pollMs);
}

void PhoneController::Poll() {
  if (!api_ || busy_) return;
  Run([this] { api_->Poll(); }, false);
  NoteModemPhone();
}

void PhoneController::NoteModemPhone() {
  if (ModemPhoneWaiting() == modemWaiting_) return;
  modemWaiting_ = !modemWaiting_;
  Q_EMIT Changed();
}

bool PhoneController::ModemPhoneWaiting() const {
  const auto* usbPhone = dynamic_cast<const phone::usb::UsbPhone*>(api_.get());
  return usbPhone && usbPhone->ModemPhonePresent() && !link_->Session().PhoneConnected;
}

void PhoneController::SwitchPhoneToCommandMode() {
  auto* usbPhone = dynamic_cast<phone::usb::UsbPhone*>(api_.get());
  if (!usbPhone) return;
  Run([this, usbPhone] {
    progress_.SetCaption("Switching the phone to command mode");
    progress_.SetPercent(0);
    progress_.Show();
    const bool switched = usbPhone->SwitchToCommandMode(
        [this](const std::string& caption) { progress_.SetCaption(caption); });
    progress_.Close();
    if (!switched) {
      const phone::PhoneMessage m{
          "The phone could not be switched to command mode: " + usbPhone->LastError(),
          ""};
      After([this, m] {
        if (hooks_.report) hooks_.report(m);
      });
    }
  });
  NoteModemPhone();
}

bool PhoneController::Run(const std::function<void()>& operation, bool lookAfter) {
  if (busy_) return false;
  busy_ = true;
  {
    InputBlocker blocker;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    operation();
    if (lookAfter && api_) api_->Poll();
    QGuiApplication::restoreOverrideCursor();
  }
  busy_ = false;
  Flush();
  return true;
}

void PhoneController::After(std::function<void()> action) {
  if (busy_)
    pending_.push_back(std::move(action));
  else
    action();
}

void PhoneController::Flush() {
  std::vector<std::function<void()>> actions;
  actions.swap(pending_);
  for (const auto& action : actions) action();
}

}  // namespace trellune::ui
