#pragma once

#include <array>

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QPainter;

namespace lark {

// A small spinning ring of arrows, painted by hand. Its timer runs only while the widget is
// shown, so a hidden indicator costs nothing.
class ChasingArrowsWidget final : public QWidget {
  public:
    explicit ChasingArrowsWidget(QWidget* parent);
    bool IsAnimating() const { return timer_.isActive(); }
    int Phase() const { return phase_; }

    static constexpr int kSteps = 12;
    static constexpr int kStepMs = 80;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Draw(QPainter& p, const QColor& ink) const;

    QTimer timer_;
    int phase_ = 0;
    // Each phase is drawn once and then copied: at every tick only a copy reaches the screen.
    std::array<QPixmap, kSteps> frames_;
    QColor framesInk_;
    QSize framesPixels_;
};

}  // namespace lark
