#pragma once

#include <QBrush>
#include <QPixmap>
#include <QWidget>

class QImage;

// Shows the rendered formula at a chosen scale from the top left corner, neither centred nor
// fitted, so the teacher sees the picture at the size the editor will get it.
class PictureBox : public QWidget
{
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    static constexpr double minimumScale = 0.01;
    static constexpr double maximumScale = 100.0;

    const QPixmap &pixmap() const { return m_pixmap; }
    double scale() const { return m_scale; }
    const QBrush &background() const { return m_background; }

public slots:
    // False for a null image, which leaves the box as it was.
    bool setImage(const QImage &image, double scale);
    void clear();
    void setBackground(QBrush brush);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static QPixmap blankPixmap();

    QPixmap m_pixmap;
    double m_scale = 1.0;
    QBrush m_background;
};
