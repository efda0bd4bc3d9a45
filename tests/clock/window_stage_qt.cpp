#include "tests/clock/window_stage.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QWidget>

struct WindowStage::System {
    QWidget window;
};

WindowStage::WindowStage(int width, int height) : m_system(std::make_unique<System>())
{
    m_system->window.setWindowFlags(Qt::FramelessWindowHint);
    m_system->window.setGeometry(0, 0, width, height);
}

WindowStage::~WindowStage() = default;

void* WindowStage::parent()
{
    return &m_system->window;
}

Picture WindowStage::capture(int x, int y, int width, int height)
{
    QWidget& window = m_system->window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return Picture(0, 0, {});
    window.repaint();  // painted and flushed to the screen now
    QApplication::sync();
    const QImage shown = window.screen()->grabWindow(window.winId(), x, y, width, height).toImage();
    std::vector<std::uint32_t> pixels;
    for (int row = 0; row < shown.height(); ++row) {
        for (int column = 0; column < shown.width(); ++column)
            pixels.push_back(shown.pixel(column, row) & 0xFFFFFF);
    }
    return Picture(shown.width(), shown.height(), std::move(pixels));
}

std::uint32_t WindowStage::ground() const
{
    return m_system->window.palette().color(QPalette::Window).rgb() & 0xFFFFFF;
}
