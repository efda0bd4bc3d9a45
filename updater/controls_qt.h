#pragma once

#include "updater/update_view.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

// The Qt view's own widgets: the window's picture buttons, its link, its captioned progress bar
// and its status bar, which Qt's own widgets do not show the way the window shows them; and its
// message boxes.

// Stands in for a command button with a picture: the picture stands above the caption and
// both fit the button's own size, whatever the style's margins; the focus frame shows which
// button has the keyboard; Return and Enter press the focused button as Space does.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

    // Where the picture and the caption are drawn: the picture centred above a caption line
    // of the font's full height, the two together centred in the button's contents.
    QRect pictureRect() const;
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect contentsArea() const;
};

// Stands in for a label used as a link: a stop of the tab order that shows the focus frame
// around its text while it has the keyboard.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Stands in for vbalProgBarLib6.vbalProgressBar: a progress bar that shows a caption text of
// the program's choosing over the bar (the "%45" of a download).
class ProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    // The stored settings: text colour and bar colour as Windows colour values (0x00BBGGRR).
    void setColours(unsigned foreColour, unsigned barColour);

    QString text() const override { return m_caption; }

private:
    QString m_caption;
};

// A Windows colour value (0x00BBGGRR) as a Qt colour name.
QString windowsColourName(unsigned colour);

// Stands in for MSComctlLib.StatusBar: a bar of text panels along the bottom of a window.
// Panels are addressed from 1, as the update procedure numbers them.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Adds a sunken text panel `width` pixels wide.
    void addPanel(int width, const QString& text = {});
    int panelCount() const { return static_cast<int>(m_panels.size()); }
    QLabel* panel(int index) const;  // nullptr for an index that names no panel

    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);

private:
    std::vector<QLabel*> m_panels;
};

// Message boxes as modal Qt dialogs over the window.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void show(const std::u16string& text, const std::u16string& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
};
