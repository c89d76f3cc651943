#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace lark {

// One decoded clip: mono float samples at the output rate, full scale = 1. Immutable once
// made, so the audio thread may read it without a lock while the GUI thread holds it.
struct ClipData {
    int sampleRate = 0;
    std::vector<float> samples;
};

enum class ClipFormat { Flac16, Wav16 };

// Decodes a whole clip held in memory (any format libsndfile reads), mixing its channels down
// to mono and converting it to outputRate by linear interpolation when its rate differs.
// Returns nullptr when the bytes are not a readable sound file.
std::shared_ptr<const ClipData> DecodeClip(std::span<const std::byte> bytes, int outputRate);

// Encodes 16-bit samples (interleaved when channels > 1) as a sound file in memory. For tests
// and benchmarks, which need clips whose decoded values they know exactly.
std::vector<std::byte> EncodeClip(std::span<const std::int16_t> samples, int sampleRate,
                                  int channels, ClipFormat format);

}  // namespace lark
