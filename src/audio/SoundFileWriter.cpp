#include "audio/SoundFileWriter.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "audio/Mixer.h"

namespace lark {

struct SoundFileWriter::File {
    File(SNDFILE* sf, int fd) : sf(sf), fd(fd) {}
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    // True when everything written reached the file system.
    bool Close() {
        const bool encoded = sf_close(std::exchange(sf, nullptr)) == 0;
        return close(std::exchange(fd, -1)) == 0 && encoded;
    }
    SNDFILE* sf;
    int fd;
};

namespace {

// A name of our own beside the target: a dot file, so that a listing hides it meanwhile.
std::filesystem::path TemporaryTemplate(const std::filesystem::path& path) {
    std::string name = ".";
    name.append(path.filename().string()).append(".XXXXXX");
    return path.parent_path() / name;
}

// mkstemp makes the file readable by its owner only; a sound file gets what the umask gives.
void AllowAsUmaskDoes(int fd) {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

}  // namespace

std::unique_ptr<SoundFileWriter> SoundFileWriter::Create(const std::filesystem::path& path,
                                                         SoundFileFormat format, bool replace,
                                                         std::string& whyNot) {
    std::error_code error;
    if (!replace && std::filesystem::exists(path, error)) {
        whyNot = path.string() + " exists, and replacing it was not asked for";
        return nullptr;
    }
    std::string name = TemporaryTemplate(path).string();
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        whyNot = "cannot write in the folder of " + path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    AllowAsUmaskDoes(fd);
    SF_INFO info{};
    info.samplerate = kOutputRateHz;
    info.channels = 1;
    info.format = format == SoundFileFormat::WavFloat ? (SF_FORMAT_WAV | SF_FORMAT_FLOAT)
                                                      : (SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    SNDFILE* sf = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!sf) {
        whyNot = std::string("cannot begin ") + path.string() + ": " + sf_strerror(nullptr);
        close(fd);
        std::filesystem::remove(name, error);
        return nullptr;
    }
    // The peak chunk carries the time of writing: two renders of one seed would differ by it.
    sf_command(sf, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return std::make_unique<SoundFileWriter>(Key{}, path, name, replace,
                                             std::make_unique<File>(sf, fd));
}

SoundFileWriter::SoundFileWriter(Key, std::filesystem::path path, std::filesystem::path temporary,
                                 bool replace, std::unique_ptr<File> file)
    : path_(std::move(path)),
      temporary_(std::move(temporary)),
      replace_(replace),
      file_(std::move(file)) {}

SoundFileWriter::~SoundFileWriter() {
    if (!temporary_.empty()) {
        file_.reset();
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

bool SoundFileWriter::Write(std::span<const float> frames) {
    if (failed_ || !file_) {
        return false;
    }
    const auto count = static_cast<sf_count_t>(frames.size());
    failed_ = sf_writef_float(file_->sf, frames.data(), count) != count;
    return !failed_;
}

bool SoundFileWriter::Commit(std::string& whyNot) {
    if (!file_) {
        whyNot = "the file was committed before";
        return false;
    }
    const std::string writeError = failed_ ? sf_strerror(file_->sf) : "";
    // Closing writes what the encoder still holds, and the header's final sizes.
    const bool whole = file_->Close() && !failed_;
    file_.reset();
    std::error_code error;
    if (!whole) {
        whyNot =
            "writing " + path_.string() + " failed" + (writeError.empty() ? "" : ": " + writeError);
    } else if (!replace_ && std::filesystem::exists(path_, error)) {
        whyNot = path_.string() + " appeared meanwhile, and replacing it was not asked for";
    } else {
        std::filesystem::rename(temporary_, path_, error);
        if (!error) {
            temporary_.clear();
            return true;
        }
        whyNot = "cannot name the file " + path_.string() + ": " + error.message();
    }
    std::filesystem::remove(temporary_, error);
    temporary_.clear();
    return false;
}

}  // namespace lark
