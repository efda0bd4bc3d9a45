#pragma once

#include <QJsonObject>
#include <QPoint>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

// The stored layout of a window (JSON, positions and sizes in twips), read and checked in
// full before any widget is made: a layout that reads is one the window can be built from.
struct FontLayout {
    QString name;
    double size = 0;
    bool bold = false;
    friend bool operator==(const FontLayout&, const FontLayout&) = default;
};

struct ControlLayout {
    QString name;
    QString kind;  // one of kControlKinds
    QString caption;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::optional<int> tabIndex;
    std::optional<FontLayout> font;
    bool enabled = true;
    bool visible = true;
    QString picture;                                 // a button's picture
    std::optional<unsigned> foreColor;               // a label's text colour, 0x00BBGGRR
    QString mouseIcon;                               // a label's cursor picture
    QPoint mouseIconHotSpot;
    std::vector<std::pair<int, QString>> panels;     // a status bar's panels: width, text
    QJsonObject properties;                          // the component's own stored data
    std::vector<ControlLayout> controls;             // a container's contents
    friend bool operator==(const ControlLayout&, const ControlLayout&) = default;
};

struct WindowLayout {
    QString name;
    QString caption;
    QString icon;
    FontLayout font;
    int clientWidth = 0;
    int clientHeight = 0;
    std::vector<ControlLayout> controls;  // in creation order
    friend bool operator==(const WindowLayout&, const WindowLayout&) = default;
};

// The control kinds a window knows.
inline const QStringList kControlKinds = {
    QStringLiteral("VB.CommandButton"), QStringLiteral("VB.Label"), QStringLiteral("VB.Frame"),
    QStringLiteral("vbalProgBarLib6.vbalProgressBar"), QStringLiteral("MSComctlLib.StatusBar"),
    QStringLiteral("SHDocVwCtl.WebBrowser"), QStringLiteral("updatelirvanePlus.InternetFile"),
    QStringLiteral("InetCtlsObjects.Inet")};

// Reads a layout; nullopt and the reason in `error` when it is no layout: not JSON, a field
// of the wrong type, an unknown kind, a name missing or used twice, a number out of range,
// nesting deeper than a window's.
std::optional<WindowLayout> parseWindowLayout(const QByteArray& json, QString& error);
