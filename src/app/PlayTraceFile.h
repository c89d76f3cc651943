#pragma once

#include <array>
#include <fstream>
#include <ostream>
#include <string>

#include "audio/SoundSystem.h"
#include "sounds/PlayTrace.h"

namespace lark {

// The trace of a run's Plays, kept in a file. Buffered, so that a Play costs no system call for
// thousands of Plays; complete once the object is gone, as the process quits.
class PlayTraceFile {
  public:
    // Opens the file, emptied; an empty path asks for no trace. False, with one line on err, when
    // the file cannot be written.
    bool Open(const std::string& path, std::ostream& err);

    void Add(const SoundSystem::StampedPlay& play);
    // Traces every Play of the sound system from now on; the trace must outlive the system.
    void Watch(SoundSystem& sound);
    // Ends the trace with what became of the Plays, as one line after "# ".
    void Account(const SoundSystem::PlayAccounts& accounts);

  private:
    std::array<char, 64 * 1024> buffer_{};
    std::ofstream file_;
    PlayTrace trace_{file_};
};

}  // namespace lark
