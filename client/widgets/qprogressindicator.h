#pragma once

#include <QColor>
#include <QWidget>

// A ring of twelve capsules that turns while something is under way.
class QProgressIndicator : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int delay READ animationDelay WRITE setAnimationDelay)
    Q_PROPERTY(bool displayedWhenStopped READ isDisplayedWhenStopped WRITE setDisplayedWhenStopped)
    Q_PROPERTY(QColor color READ color WRITE setColor)

public:
    explicit QProgressIndicator(QWidget *parent = nullptr);

    int animationDelay() const { return m_delay; }
    bool isAnimated() const;
    bool isDisplayedWhenStopped() const { return m_displayedWhenStopped; }
    const QColor &color() const { return m_color; }
    int angle() const { return m_angle; }

    QSize sizeHint() const override;
    int heightForWidth(int w) const override;

    // The capsule geometry for a widget of this size, as paintEvent draws it.
    struct Geometry {
        int outerRadius;
        int innerRadius;
        int capsuleHeight;
        int capsuleWidth;
        int capsuleRadius;
    };
    static Geometry geometryFor(const QSize &size);

public slots:
    void startAnimation();
    void stopAnimation();
    void setAnimationDelay(int delay);
    void setDisplayedWhenStopped(bool state);
    void setColor(QColor color);

protected:
    void timerEvent(QTimerEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_angle = 0;
    int m_timerId = -1;
    int m_delay = 40;
    bool m_displayedWhenStopped = false;
    QColor m_color = Qt::black;
};
