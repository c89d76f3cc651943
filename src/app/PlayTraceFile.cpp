#include "app/PlayTraceFile.h"

#include <cerrno>
#include <cstring>

namespace lark {

bool PlayTraceFile::Open(const std::string& path, std::ostream& err) {
    if (path.empty()) {
        return true;
    }
    file_.rdbuf()->pubsetbuf(buffer_.data(), buffer_.size());  // before open, or it is ignored
    file_.open(path, std::ios::out | std::ios::trunc);
    if (!file_) {
        err << "larkspool8: cannot write the trace to " << path << ": " << std::strerror(errno)
            << std::endl;
        return false;
    }
    return true;
}

void PlayTraceFile::Add(const SoundSystem::StampedPlay& play) {
    if (file_.is_open()) {
        trace_.Add(play.number, play.atUs);
    }
}

void PlayTraceFile::Watch(SoundSystem& sound) {
    if (file_.is_open()) {
        sound.ObservePlays([this](const SoundSystem::StampedPlay& play) { Add(play); });
    }
}

void PlayTraceFile::Account(const SoundSystem::PlayAccounts& accounts) {
    if (file_.is_open()) {
        const MixerCounts& mixed = accounts.mixed;
        file_ << "# sent " << accounts.sent << " dropped " << accounts.dropped << " placed "
              << mixed.placed << " late " << mixed.late << " finished " << mixed.finished
              << " stolen " << mixed.stolen << " discarded " << mixed.discarded << '\n';
    }
}

}  // namespace lark
