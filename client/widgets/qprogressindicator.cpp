#include "widgets/qprogressindicator.h"

#include <QPainter>

QProgressIndicator::QProgressIndicator(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
}

bool QProgressIndicator::isAnimated() const
{
    return m_timerId != -1;
}

QSize QProgressIndicator::sizeHint() const
{
    return QSize(20, 20);
}

int QProgressIndicator::heightForWidth(int w) const
{
    return w;
}

QProgressIndicator::Geometry QProgressIndicator::geometryFor(const QSize &size)
{
    const int width = qMin(size.width(), size.height());
    Geometry g;
    g.outerRadius = int((width - 1) * 0.5);
    g.innerRadius = int((width - 1) * 0.5 * 0.38);
    g.capsuleHeight = g.outerRadius - g.innerRadius;
    g.capsuleWidth = width > 32 ? int(g.capsuleHeight * 0.23) : int(g.capsuleHeight * 0.35);
    g.capsuleRadius = g.capsuleWidth / 2;
    return g;
}

void QProgressIndicator::startAnimation()
{
    m_angle = 0;
    if (m_timerId == -1)
        m_timerId = startTimer(m_delay, Qt::CoarseTimer);
}

void QProgressIndicator::stopAnimation()
{
    if (m_timerId != -1)
        killTimer(m_timerId);
    m_timerId = -1;
    update();
}

void QProgressIndicator::setAnimationDelay(int delay)
{
    if (m_timerId != -1) {
        killTimer(m_timerId);
        m_delay = delay;
        m_timerId = startTimer(m_delay, Qt::CoarseTimer);
    } else {
        m_delay = delay;
    }
}

void QProgressIndicator::setDisplayedWhenStopped(bool state)
{
    m_displayedWhenStopped = state;
    update();
}

void QProgressIndicator::setColor(QColor color)
{
    m_color = color;
    update();
}

void QProgressIndicator::timerEvent(QTimerEvent *)
{
    m_angle = (m_angle + 30) % 360;
    update();
}

void QProgressIndicator::paintEvent(QPaintEvent *)
{
    if (!m_displayedWhenStopped && !isAnimated())
        return;

    const Geometry g = geometryFor(size());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        QColor color = m_color;
        color.setAlphaF(1.0 - (i / 12.0));
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.save();
        p.translate((rect().right() - rect().left()) / 2, (rect().bottom() - rect().top()) / 2);
        p.rotate(m_angle - i * 30.0);
        p.drawRoundedRect(int(-g.capsuleWidth * 0.5), -g.outerRadius, g.capsuleWidth,
            g.capsuleHeight, g.capsuleRadius, g.capsuleRadius);
        p.restore();
    }
}
