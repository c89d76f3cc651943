#include "audio/ResourceFork.h"

#include <QFile>
#include <QString>

namespace lark {

std::optional<std::vector<std::byte>> ReadClipResource(int number) {
    QFile file(QStringLiteral(":/clips/%1").arg(number));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    const auto* first = reinterpret_cast<const std::byte*>(data.constData());
    return std::vector<std::byte>(first, first + data.size());
}

std::shared_ptr<const ClipData> ClipResourceFork::Decode(int number) const {
    const std::optional<std::vector<std::byte>> bytes = reader_ ? reader_(number) : std::nullopt;
    return bytes ? DecodeClip(*bytes, outputRate_) : nullptr;
}

std::shared_ptr<Sound> ClipResourceFork::GetSound(int number) {
    std::optional<std::shared_ptr<const ClipData>> ready;
    if (ahead_) {
        ready = ahead_->Take(number);
    }
    std::shared_ptr<const ClipData> clip = ready ? std::move(*ready) : Decode(number);
    if (!clip) {
        return nullptr;
    }
    return std::make_shared<Sound>(std::move(clip), player_);
}

void ClipResourceFork::DecodeAhead(std::vector<int> numbers) {
    if (!ahead_) {
        ahead_ = std::make_unique<lark::DecodeAhead>(std::move(numbers),
                                                     [this](int number) { return Decode(number); });
    }
}

}  // namespace lark
