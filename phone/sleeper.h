// Waits between retries of phone operations. Injected, so tests run without real pauses and
// can see which pauses were asked for.
#pragma once

namespace trellune::phone {

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void Sleep(int milliseconds) = 0;
};

// Sleeps for real, blocking the calling thread.
class RealSleeper : public Sleeper {
 public:
  void Sleep(int milliseconds) override;
};

}  // namespace trellune::phone
