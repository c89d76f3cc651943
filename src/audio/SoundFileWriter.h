#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace lark {

enum class SoundFileFormat { WavFloat, Flac16 };

// Writes mono frames at the output rate to a sound file that takes its name only once it is
// whole: the frames go to a temporary file in the same folder, which Commit renames. A failed
// write, or a writer destroyed before Commit, leaves nothing behind.
class SoundFileWriter {
    struct Key {};  // only Create makes one
    struct File;

  public:
    // Nothing, and why in whyNot, when the file cannot be begun, or when it exists and may not
    // be replaced.
    static std::unique_ptr<SoundFileWriter> Create(const std::filesystem::path& path,
                                                   SoundFileFormat format, bool replace,
                                                   std::string& whyNot);
    SoundFileWriter(Key, std::filesystem::path path, std::filesystem::path temporary, bool replace,
                    std::unique_ptr<File> file);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // False once a write has failed; the frames after it are not written.
    bool Write(std::span<const float> frames);
    // Closes the file and gives it its name. False, and why, when anything failed on the way.
    bool Commit(std::string& whyNot);

  private:
    std::filesystem::path path_;
    std::filesystem::path temporary_;
    bool replace_;
    std::unique_ptr<File> file_;  // open until Commit
    bool failed_ = false;
};

}  // namespace lark
