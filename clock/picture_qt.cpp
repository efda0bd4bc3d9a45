#include "clock/picture.h"

#include <QFile>
#include <QImage>
#include <span>

Picture decodeBitmap(std::span<const std::byte> bytes)
{
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "BMP"))
        return Picture(0, 0, {});
    image = image.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
    }
    return Picture(image.width(), image.height(), std::move(pixels));
}

std::vector<std::byte> clockResource(std::string_view name)
{
    QFile file(QStringLiteral(":/tavorix/") + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const auto view = std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return {view.begin(), view.end()};
}
