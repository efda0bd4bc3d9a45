#pragma once

#include <QProgressBar>
#include <QString>

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
