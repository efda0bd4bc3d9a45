#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <vector>

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
