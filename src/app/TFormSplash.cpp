#include "app/TFormSplash.h"

#include <QApplication>
#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

TFormSplash::TFormSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TFormSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(400, 220);
}

void TFormSplash::showNow()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->geometry();
        move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
    show();
    repaint();
    qApp->installEventFilter(this);
    QTimer::singleShot(ShowMilliseconds, this, &QWidget::close);
}

bool TFormSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched != this) {
        const auto *window = qobject_cast<const QWidget *>(watched);
        if (window && window->isWindow() && window->isModal())
            close();
    }
    return false;
}

void TFormSplash::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(0x20, 0x2c, 0x48));
    g.setColorAt(1, QColor(0x08, 0x0c, 0x18));
    p.fillRect(rect(), g);
    p.setPen(QColor(0xE0, 0x30, 0x30));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    QFont title = font();
    title.setPixelSize(44);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 40, width(), 70), Qt::AlignCenter, QStringLiteral("TitleDeck"));
    QFont sub = font();
    sub.setPixelSize(16);
    p.setFont(sub);
    p.setPen(QColor(0xB0, 0xC0, 0xE0));
    p.drawText(QRect(0, 120, width(), 30), Qt::AlignCenter,
               QStringLiteral("KL-VT90 Title Manager"));
    p.drawText(QRect(0, 170, width(), 24), Qt::AlignCenter,
               QStringLiteral("Version %1").arg(QCoreApplication::applicationVersion()));
}
