// The picture slicer on arbitrary picture bytes (BMP, the strips' format; other formats are
// their decoders' business): every cell is an equal slice of the picture.
#include "clock/picture.h"
#include "clock/picture_clip.h"
#include "platform/runtime/runtime_error.h"
#include "tests/fuzz/fuzz_check.h"

#include <QBuffer>
#include <QImageReader>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Pictures of a clock's size: a header claiming a huge one is not decoded at all.
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "bmp");
    reader.setAutoDetectImageFormat(false);
    if (!reader.size().isValid() || reader.size().width() > 1024 || reader.size().height() > 1024)
        return 0;
    const Picture image = decodeBitmap(std::as_bytes(std::span(data + 1, size - 1)));
    if (image.width() == 0)
        return 0;
    PictureClip clip;
    const auto cols = static_cast<std::int16_t>(1 + data[0] % 16);
    clip.setCols(cols);
    clip.setPicture(pictureVariant(image));
    for (std::int16_t cell = 0; cell < cols; ++cell) {
        try {
            const runtime::Variant cellPicture = clip.GraphicCell(cell);
            const auto piece = pictureOf(cellPicture);
            FUZZ_CHECK(piece->width() == image.width() / cols && piece->height() == image.height());
            FUZZ_CHECK(*piece == image.copy(cell * piece->width(), 0, piece->width(), piece->height()));
        } catch (const runtime::RuntimeError& error) {
            FUZZ_CHECK(image.width() < cols);  // a picture narrower than its cells has none
        }
    }
    return 0;
}
