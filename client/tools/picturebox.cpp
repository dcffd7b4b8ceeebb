#include "tools/picturebox.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

PictureBox::PictureBox(QWidget *parent)
    : QWidget(parent)
    , m_pixmap(blankPixmap())
    , m_background(Qt::white, Qt::SolidPattern)
{ }

QPixmap PictureBox::blankPixmap()
{
    QPixmap pixmap(160, 120);
    pixmap.fill(Qt::white);
    return pixmap;
}

bool PictureBox::setImage(const QImage &image, double scale)
{
    if (image.isNull())
        return false;
    m_pixmap = QPixmap::fromImage(image);
    m_scale = qIsNaN(scale) ? 1.0 : std::clamp(scale, minimumScale, maximumScale);
    update();
    return true;
}

void PictureBox::clear()
{
    m_pixmap = blankPixmap();
    m_scale = 1.0;
    m_background = QBrush(Qt::white, Qt::SolidPattern);
    update();
}

void PictureBox::setBackground(QBrush brush)
{
    m_background = brush;
    update();
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    painter.scale(m_scale, m_scale);
    painter.drawPixmap(0, 0, m_pixmap);
}
