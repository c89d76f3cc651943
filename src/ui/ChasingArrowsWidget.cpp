#include "ui/ChasingArrowsWidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace lark {

namespace {

// A screen reader announces the indicator as an animation, shown only while it turns.
QAccessibleInterface* ArrowsAccessible(const QString&, QObject* object) {
    auto* arrows = dynamic_cast<ChasingArrowsWidget*>(object);
    return arrows ? new QAccessibleWidget(arrows, QAccessible::Animation) : nullptr;
}

}  // namespace

// The timer is a child, so a test can find it and deliver its ticks without waiting.
ChasingArrowsWidget::ChasingArrowsWidget(QWidget* parent) : QWidget(parent), timer_(this) {
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(ArrowsAccessible);
        return true;
    }();
    (void)accessibleInstalled;
    timer_.setInterval(kStepMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        phase_ = (phase_ + 1) % kSteps;
        update();
    });
}

void ChasingArrowsWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void ChasingArrowsWidget::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    timer_.stop();
}

void ChasingArrowsWidget::paintEvent(QPaintEvent*) {
    const QColor ink =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    const qreal scale = devicePixelRatioF();
    const QSize pixels = size() * scale;
    if (ink != framesInk_ || pixels != framesPixels_) {
        framesInk_ = ink;
        framesPixels_ = pixels;
        frames_.fill(QPixmap());
    }
    QPixmap& frame = frames_[static_cast<std::size_t>(phase_)];
    if (frame.isNull()) {
        frame = QPixmap(pixels);
        frame.setDevicePixelRatio(scale);
        frame.fill(Qt::transparent);
        QPainter drawing(&frame);
        Draw(drawing, ink);
    }
    QPainter(this).drawPixmap(0, 0, frame);
}

void ChasingArrowsWidget::Draw(QPainter& p, const QColor& ink) const {
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(side / 34.0, side / 34.0);   // drawn on a 34-pixel square and scaled
    p.rotate(-360.0 * phase_ / kSteps);  // the way the arrows point

    QPen pen(ink, 3.0, Qt::SolidLine, Qt::FlatCap);
    p.setPen(pen);
    // Two arcs chasing each other round the circle, each with an arrowhead at its front.
    const QRectF ring(-11, -11, 22, 22);
    for (int half = 0; half < 2; ++half) {
        const qreal start = half * 180.0 + 20.0;
        const qreal span = 130.0;
        p.drawArc(ring, qRound(start * 16), qRound(span * 16));
        const qreal tip = qDegreesToRadians(start + span);
        const QPointF at(11 * qCos(tip), -11 * qSin(tip));
        const QPointF along(-qSin(tip), -qCos(tip));  // direction of travel, screen coordinates
        const QPointF out(qCos(tip), -qSin(tip));
        QPainterPath head;
        head.moveTo(at + along * 5);
        head.lineTo(at + out * 4.5);
        head.lineTo(at - out * 4.5);
        head.closeSubpath();
        p.fillPath(head, ink);
    }
}

}  // namespace lark
