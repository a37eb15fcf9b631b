#include "phone_controller.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>

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
    : QObject(parent), api_(std::move(api)), sleeper_(sleeper), hooks_(std::move(hooks)) {
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
  poll_.start(pollMs);
}

void PhoneController::Poll() {
  if (!api_ || busy_) return;
  Run([this] { api_->Poll(); }, false);
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
