#include "platform/pause.h"

#include <chrono>
#include <thread>

namespace qj {

namespace {

void Sleep(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

PauseFunction g_pause = &Sleep;

}  // namespace

void PauseMilliseconds(int milliseconds) { g_pause(milliseconds); }

PauseFunction SetPauseFunctionForTest(PauseFunction function) {
  PauseFunction previous = g_pause;
  g_pause = function != nullptr ? function : &Sleep;
  return previous;
}

}  // namespace qj
