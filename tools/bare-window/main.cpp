// A bare Qt window of the updater's size and kind: the floor that the updater's start-up
// time is measured against (scripts/benchmark-update). With --text it shows one line of text,
// and so pays for the font database as every window with text does; with --text-of LAYOUT it
// shows the visible captions of a stored window layout in their own fonts, as labels: the
// updater's text without the updater.
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QWidget>

#include <cstring>

namespace {

constexpr double kTwipsPerPixel = 15.0;

// The layout's font as the updater takes it: MS Sans Serif by its nearest installed kin.
QFont fontOf(const QJsonObject& spec)
{
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans Condensed")});
    QFont font(spec[QLatin1String("name")].toString());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(spec[QLatin1String("size")].toDouble());
    font.setBold(spec[QLatin1String("bold")].toBool());
    return font;
}

void addCaptions(const QJsonArray& controls, const QFont& inherited, QWidget* window)
{
    for (const QJsonValue& value : controls) {
        const QJsonObject control = value.toObject();
        if (!control[QLatin1String("visible")].toBool(true))
            continue;
        const QFont font =
            control.contains(QLatin1String("font")) ? fontOf(control[QLatin1String("font")].toObject()) : inherited;
        const QString caption = control[QLatin1String("caption")].toString();
        if (!caption.isEmpty()) {
            auto* label = new QLabel(caption, window);
            label->setFont(font);
            label->move(static_cast<int>(control[QLatin1String("left")].toDouble() / kTwipsPerPixel),
                        static_cast<int>(control[QLatin1String("top")].toDouble() / kTwipsPerPixel));
        }
        addCaptions(control[QLatin1String("controls")].toArray(), font, window);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    window.setWindowTitle(QStringLiteral("Bare window"));
    window.setFixedSize(401, 206);
    if (argc == 2 && std::strcmp(argv[1], "--text") == 0) {
        new QLabel(QStringLiteral("Velkora Lirvane Güncelleme"), &window);
    } else if (argc == 3 && std::strcmp(argv[1], "--text-of") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QJsonObject layout = QJsonDocument::fromJson(file.readAll()).object();
        const QFont font = fontOf(layout[QLatin1String("font")].toObject());
        window.setFont(font);
        addCaptions(layout[QLatin1String("controls")].toArray(), font, &window);
    }
    window.show();
    return application.exec();
}
