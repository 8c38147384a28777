// The settings window: a fixed size, centred when shown, closed by a request to minimise it.
#include "app/SettingsWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace panemaker {

SettingsWindow::SettingsWindow(SettingsView *view, QWidget *parent) : QWidget(parent, Qt::Window), m_view(view)
{
    setWindowTitle(QStringLiteral("Panemaker Settings"));
    if (!QApplication::windowIcon().isNull())
        setWindowIcon(QApplication::windowIcon());
    setFixedSize(500, 660);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(view);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    // Minimising closes the window, as the window manager's own minimise request does.
    for (const QKeySequence &keys : {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_M)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this, [this] {
        if (m_view->onQuit)
            m_view->onQuit();
    });
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QWidget::showEvent(event);
}

void SettingsWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    Q_EMIT closed();
}

void SettingsWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Closed once the window manager has finished minimising, not in the middle of it.
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        QTimer::singleShot(0, this, &QWidget::close);
}

} // namespace panemaker
