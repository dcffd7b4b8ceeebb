#pragma once

#include <QImage>
#include <QWidget>

// Five stars for the difficulty; a click on the k-th star (or the gap before it) gives k.
class RatingView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int rating READ rating WRITE setRating)

public:
    explicit RatingView(QWidget *parent = nullptr);

    int rating() const { return m_rating; }
    void setRating(int rating);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static constexpr int starSize = 20;
    static constexpr int spacing = 3;
    // The rating a press at x gives.
    static int ratingAt(int x) { return (x + spacing / 2) / (spacing + starSize) + 1; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int m_rating = 0;
    QImage m_fullStar;
    QImage m_emptyStar;
};
