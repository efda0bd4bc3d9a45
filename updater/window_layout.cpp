#include "updater/window_layout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <cmath>

namespace {

constexpr int kMaxNesting = 4;
constexpr int kMaxControls = 256;
constexpr double kMaxTwips = 1'000'000;

// Reads one layout, remembering the first fault.
class LayoutReader {
public:
    std::optional<WindowLayout> window(const QJsonObject& object)
    {
        WindowLayout layout;
        layout.name = text(object, "name", true);
        layout.caption = text(object, "caption");
        layout.icon = text(object, "icon");
        layout.font = font(object.value("font")).value_or(FontLayout{});
        layout.clientWidth = twips(object, "clientWidth", true);
        layout.clientHeight = twips(object, "clientHeight", true);
        layout.controls = controls(object.value("controls"), 0);
        if (!m_error.isEmpty())
            return std::nullopt;
        return layout;
    }

    QString error() const { return m_error; }

private:
    void fail(const QString& reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
    }

    QString text(const QJsonObject& object, const char* key, bool required = false)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString() && (!required || !value.toString().isEmpty()))
            return value.toString();
        if (!value.isUndefined() || required)
            fail(QStringLiteral("\"%1\" is no text").arg(QLatin1String(key)));
        return {};
    }

    // A number within -limit..limit (0..limit when `unsigned_`).
    double number(const QJsonObject& object, const char* key, bool required, double limit, bool unsigned_ = false)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined() && !required)
            return 0;
        if (!value.isDouble() || !(std::fabs(value.toDouble()) <= limit) || (unsigned_ && value.toDouble() < 0)) {
            fail(QStringLiteral("\"%1\" is no number in range").arg(QLatin1String(key)));
            return 0;
        }
        return value.toDouble();
    }

    int twips(const QJsonObject& object, const char* key, bool required = false)
    {
        return static_cast<int>(number(object, key, required, kMaxTwips));
    }

    bool flag(const QJsonObject& object, const char* key, bool fallback)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return fallback;
        if (!value.isBool())
            fail(QStringLiteral("\"%1\" is no Boolean").arg(QLatin1String(key)));
        return value.toBool();
    }

    std::optional<FontLayout> font(const QJsonValue& value)
    {
        if (value.isUndefined())
            return std::nullopt;
        if (!value.isObject()) {
            fail(QStringLiteral("a font is no object"));
            return std::nullopt;
        }
        const QJsonObject object = value.toObject();
        return FontLayout{text(object, "name", true), number(object, "size", true, 1000), flag(object, "bold", false)};
    }

    std::vector<ControlLayout> controls(const QJsonValue& value, int depth)
    {
        std::vector<ControlLayout> list;
        if (value.isUndefined())
            return list;
        if (!value.isArray() || depth > kMaxNesting) {
            fail(QStringLiteral("\"controls\" is no list, or lies too deep"));
            return list;
        }
        for (const QJsonValue entry : value.toArray()) {
            if (!entry.isObject() || ++m_count > kMaxControls) {
                fail(QStringLiteral("a control is no object, or there are too many"));
                return list;
            }
            list.push_back(control(entry.toObject(), depth));
        }
        return list;
    }

    ControlLayout control(const QJsonObject& object, int depth)
    {
        ControlLayout layout;
        layout.name = text(object, "name", true);
        if (m_names.contains(layout.name))
            fail(QStringLiteral("the name %1 is used twice").arg(layout.name));
        m_names.insert(layout.name);
        layout.kind = text(object, "kind", true);
        if (!kControlKinds.contains(layout.kind))
            fail(QStringLiteral("%1 is of an unknown kind").arg(layout.name));
        layout.caption = text(object, "caption");
        layout.left = twips(object, "left");
        layout.top = twips(object, "top");
        layout.width = twips(object, "width");
        layout.height = twips(object, "height");
        if (object.contains("tabIndex"))
            layout.tabIndex = static_cast<int>(number(object, "tabIndex", true, 32767));
        layout.font = font(object.value("font"));
        layout.enabled = flag(object, "enabled", true);
        layout.visible = flag(object, "visible", true);
        layout.picture = text(object, "picture");
        if (object.contains("foreColor"))
            layout.foreColor = static_cast<unsigned>(number(object, "foreColor", true, 0xFFFFFF, true));
        layout.mouseIcon = text(object, "mouseIcon");
        const QJsonValue hotSpot = object.value("mouseIconHotSpot");
        if (!hotSpot.isUndefined()) {
            const QJsonArray pair = hotSpot.toArray();
            if (!hotSpot.isArray() || pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble())
                fail(QStringLiteral("a hot spot is no pair of numbers"));
            layout.mouseIconHotSpot = QPoint(pair[0].toInt(), pair[1].toInt());
        }
        const QJsonValue panels = object.value("panels");
        if (!panels.isUndefined() && !panels.isArray())
            fail(QStringLiteral("\"panels\" is no list"));
        for (const QJsonValue panel : panels.toArray()) {
            const QJsonObject entry = panel.toObject();
            layout.panels.emplace_back(twips(entry, "width", true), text(entry, "text"));
        }
        const QJsonValue properties = object.value("properties");
        if (!properties.isUndefined() && !properties.isObject())
            fail(QStringLiteral("\"properties\" is no object"));
        layout.properties = properties.toObject();
        layout.controls = controls(object.value("controls"), depth + 1);
        return layout;
    }

    QString m_error;
    QSet<QString> m_names;
    int m_count = 0;
};

}  // namespace

std::optional<WindowLayout> parseWindowLayout(const QByteArray& json, QString& error)
{
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        error = QStringLiteral("no JSON object: %1").arg(parse.errorString());
        return std::nullopt;
    }
    LayoutReader reader;
    auto layout = reader.window(document.object());
    error = reader.error();
    return layout;
}
