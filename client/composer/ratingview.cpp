#include "composer/ratingview.h"

#include <QMouseEvent>
#include <QPainter>

RatingView::RatingView(QWidget *parent)
    : QWidget(parent)
    , m_fullStar(QStringLiteral(":/images/rating-star-full.png"))
    , m_emptyStar(QStringLiteral(":/images/rating-star-empty.png"))
{
    setFixedSize(sizeHint());
    setMouseTracking(true);
}

void RatingView::setRating(int rating)
{
    m_rating = rating;
    update();
}

QSize RatingView::sizeHint() const
{
    return QSize(5 * starSize + 4 * spacing, starSize);
}

QSize RatingView::minimumSizeHint() const
{
    return sizeHint();
}

void RatingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 1; i <= 5; ++i) {
        const QRect target((i - 1) * (starSize + spacing), 0, starSize, starSize);
        const bool empty = m_rating < i || m_rating <= 0;
        painter.drawImage(target, empty ? m_emptyStar : m_fullStar);
    }
}

void RatingView::mousePressEvent(QMouseEvent *event)
{
    setRating(ratingAt(qRound(event->localPos().x())));
}
