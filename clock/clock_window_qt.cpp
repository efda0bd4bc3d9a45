#include "clock/clock_window.h"

#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTime>
#include <QTimer>
#include <QWidget>

namespace {

// The clock's widget: the system's ground, the clock row at its top-left corner.
class ClockWidget : public QWidget {
public:
    explicit ClockWidget(ClockRowSource row) : m_row(std::move(row)) { setAutoFillBackground(true); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Picture row = m_row();
        if (row.width() == 0)
            return;
        const QImage image(reinterpret_cast<const uchar*>(row.pixels().data()), row.width(), row.height(),
                           row.width() * 4, QImage::Format_RGB32);
        QPainter(this).drawImage(0, 0, image);
    }

private:
    ClockRowSource m_row;
};

// The window as the control sees it; the widget may be gone with its container's.
class QtClockWindow : public ClockWindow {
public:
    explicit QtClockWindow(ClockRowSource row) : m_widget(new ClockWidget(std::move(row))) {}
    ~QtClockWindow() override { delete m_widget.data(); }

    void startTimer(std::chrono::milliseconds interval, std::function<void()> tick) override
    {
        if (!m_widget)
            return;
        auto* timer = new QTimer(m_widget);
        timer->setObjectName(QStringLiteral("Timer1"));
        timer->setInterval(interval);
        QObject::connect(timer, &QTimer::timeout, m_widget, std::move(tick));
        timer->start();
    }
    void invalidate() override
    {
        if (m_widget)
            m_widget->update();
    }
    void resize(int width, int height) override
    {
        if (m_widget)
            m_widget->resize(width, height);
    }
    bool place(void* parent) override
    {
        if (!m_widget)
            return false;
        m_widget->setParent(static_cast<QWidget*>(parent));
        m_widget->show();
        return true;
    }

    void withdraw() override
    {
        if (m_widget) {
            m_widget->hide();
            m_widget->setParent(nullptr);
        }
    }
    void* nativeWindow() override { return m_widget.data(); }

private:
    QPointer<ClockWidget> m_widget;
};

}  // namespace

std::unique_ptr<ClockWindow> makeClockWindow(ClockRowSource row)
{
    return std::make_unique<QtClockWindow>(std::move(row));
}

ClockTime localTimeOfDay()
{
    const QTime now = QTime::currentTime();
    return {now.hour(), now.minute(), now.second()};
}
