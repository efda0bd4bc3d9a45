#include "clock/clock_resources.h"

#include <QFile>

#include <span>

std::vector<std::byte> clockResource(std::string_view name)
{
    QFile file(QStringLiteral(":/tavorix/") + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const auto view = std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return {view.begin(), view.end()};
}
