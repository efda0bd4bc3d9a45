// The window layout loader: what reads depends on the JSON alone, not on how it is written.
#include "tests/fuzz/fuzz_check.h"
#include "updater/window_layout.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto layout = parseWindowLayout(json, error);
    FUZZ_CHECK(layout.has_value() == error.isEmpty());
    if (!layout)
        return 0;
    const auto again = parseWindowLayout(QJsonDocument::fromJson(json).toJson(QJsonDocument::Compact), error);
    FUZZ_CHECK(again && *again == *layout);
    return 0;
}
