#include "sleeper.h"

#include <chrono>
#include <thread>

namespace trellune::phone {

void RealSleeper::Sleep(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace trellune::phone
