#include "audio/ClipData.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lark {

namespace {

// libsndfile's virtual I/O over bytes in memory: read-only over a span, or growing a vector.
struct MemoryFile {
    const std::byte* data = nullptr;
    std::vector<std::byte>* sink = nullptr;  // set when writing
    sf_count_t size = 0;
    sf_count_t pos = 0;
};

sf_count_t Length(void* user) {
    return static_cast<MemoryFile*>(user)->size;
}

sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t to = offset;
    if (whence == SEEK_CUR) {
        to = f->pos + offset;
    } else if (whence == SEEK_END) {
        to = f->size + offset;
    }
    if (to < 0) {
        return -1;
    }
    f->pos = to;
    return f->pos;
}

sf_count_t Read(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const sf_count_t n = std::clamp<sf_count_t>(f->size - f->pos, 0, count);
    const std::byte* from = f->sink ? f->sink->data() : f->data;
    if (n > 0) {
        std::memcpy(ptr, from + f->pos, static_cast<std::size_t>(n));
    }
    f->pos += n;
    return n;
}

sf_count_t Write(const void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    if (!f->sink) {
        return 0;
    }
    const auto end = static_cast<std::size_t>(f->pos + count);
    if (end > f->sink->size()) {
        f->sink->resize(end);
    }
    std::memcpy(f->sink->data() + f->pos, ptr, static_cast<std::size_t>(count));
    f->pos += count;
    f->size = std::max<sf_count_t>(f->size, f->pos);
    return count;
}

sf_count_t Tell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

SF_VIRTUAL_IO MemoryIo() {
    return SF_VIRTUAL_IO{Length, Seek, Read, Write, Tell};
}

struct SndfileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndfilePtr = std::unique_ptr<SNDFILE, SndfileCloser>;

std::vector<float> Resample(const std::vector<float>& in, int fromRate, int toRate) {
    if (in.empty()) {
        return {};
    }
    const double step = static_cast<double>(fromRate) / toRate;
    const auto outLength =
        static_cast<std::size_t>(std::llround(static_cast<double>(in.size()) * toRate / fromRate));
    std::vector<float> out(std::max<std::size_t>(outLength, 1));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double at = static_cast<double>(i) * step;
        const auto k = static_cast<std::size_t>(at);
        const double frac = at - static_cast<double>(k);
        const float a = in[std::min(k, in.size() - 1)];
        const float b = in[std::min(k + 1, in.size() - 1)];
        out[i] = static_cast<float>(a + (b - a) * frac);
    }
    return out;
}

}  // namespace

std::shared_ptr<const ClipData> DecodeClip(std::span<const std::byte> bytes, int outputRate) {
    MemoryFile file{bytes.data(), nullptr, static_cast<sf_count_t>(bytes.size()), 0};
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    SndfilePtr sf(sf_open_virtual(&io, SFM_READ, &info, &file));
    if (!sf || info.channels < 1 || info.samplerate < 1 || outputRate < 1) {
        return nullptr;
    }
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_float(sf.get(), interleaved.data(), info.frames);
    if (got < 0) {
        return nullptr;
    }
    auto clip = std::make_shared<ClipData>();
    clip->sampleRate = outputRate;
    clip->samples.resize(static_cast<std::size_t>(got));
    for (std::size_t i = 0; i < clip->samples.size(); ++i) {
        if (info.channels == 1) {
            clip->samples[i] = interleaved[i];
            continue;
        }
        float sum = 0;
        for (int c = 0; c < info.channels; ++c) {
            sum += interleaved[i * static_cast<std::size_t>(info.channels) + c];
        }
        clip->samples[i] = sum / static_cast<float>(info.channels);
    }
    if (info.samplerate != outputRate) {
        clip->samples = Resample(clip->samples, info.samplerate, outputRate);
    }
    return clip;
}

std::vector<std::byte> EncodeClip(std::span<const std::int16_t> samples, int sampleRate,
                                  int channels, ClipFormat format) {
    std::vector<std::byte> bytes;
    MemoryFile file{nullptr, &bytes, 0, 0};
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format =
        (format == ClipFormat::Flac16 ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    {
        SndfilePtr sf(sf_open_virtual(&io, SFM_WRITE, &info, &file));
        if (!sf) {
            return {};
        }
        sf_writef_short(
            sf.get(), samples.data(),
            static_cast<sf_count_t>(samples.size() / static_cast<std::size_t>(channels)));
    }  // closing writes the headers' final sizes
    bytes.resize(static_cast<std::size_t>(file.size));
    return bytes;
}

}  // namespace lark
