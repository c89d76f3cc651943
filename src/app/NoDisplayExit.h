#pragma once

namespace lark {

// Without a display, Qt finds no platform to start and aborts. From construction to Release(),
// that becomes one line on stderr and exit status 1. Qt's other messages of that time are held
// back, and passed on at Release(); before that line if a display was named but not usable.
// Made and released on the main thread, around the QApplication's construction.
class NoDisplayExit {
  public:
    NoDisplayExit();
    ~NoDisplayExit() { Release(); }
    NoDisplayExit(const NoDisplayExit&) = delete;
    NoDisplayExit& operator=(const NoDisplayExit&) = delete;

    void Release();

  private:
    bool released_ = false;
};

}  // namespace lark
