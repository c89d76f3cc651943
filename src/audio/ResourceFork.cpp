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

std::shared_ptr<Sound> ClipResourceFork::GetSound(int number) {
    const std::optional<std::vector<std::byte>> bytes = reader_ ? reader_(number) : std::nullopt;
    if (!bytes) {
        return nullptr;
    }
    std::shared_ptr<const ClipData> clip = DecodeClip(*bytes, outputRate_);
    if (!clip) {
        return nullptr;
    }
    return std::make_shared<Sound>(std::move(clip), player_);
}

}  // namespace lark
