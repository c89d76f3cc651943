#include "ui/QtMessageBoxes.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <memory>

namespace lark {
namespace {

// QMessageBox sizes itself to a fixed width that can be too narrow for a web address, which
// then breaks at a slash, and on a small or scaled screen it grows taller than the screen and
// is cut off. This one wraps at spaces only where it must, keeps every space-free word (the
// address) on one line, and widens before it would overflow the screen.
class FittedMessageBox final : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

    bool event(QEvent* e) override {
        const bool handled = QMessageBox::event(e);
        if (e->type() == QEvent::LayoutRequest || e->type() == QEvent::Show) {
            Fit();
        }
        return handled;
    }

  private:
    void Fit() {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label || !layout() || !screen() || fitting_) {
            return;
        }
        fitting_ = true;
        label->setWordWrap(true);
        const QFontMetrics metrics(label->font());
        int widestLine = 0;
        int widestWord = 0;
        for (const QString& line : label->text().split(QLatin1Char('\n'))) {
            widestLine = std::max(widestLine, metrics.horizontalAdvance(line));
            for (const QString& word : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                widestWord = std::max(widestWord, metrics.horizontalAdvance(word));
            }
        }
        const QRect screenArea = screen()->availableGeometry();
        const int around = width() - label->width() + 2;  // icon, margins and spacing
        const int maxWidth = std::max(width(), screenArea.width() - 16);
        // Short lines stay whole in a box up to three fifths of the screen wide; a word never
        // breaks.
        const int comfortable = std::min(widestLine + around, screenArea.width() * 3 / 5);
        int boxWidth = std::min(maxWidth, std::max({width(), comfortable, widestWord + around}));
        const int step = std::max(1, metrics.averageCharWidth() * 4);
        while (layout()->totalHeightForWidth(boxWidth) > screenArea.height() - 16 &&
               boxWidth < maxWidth) {
            boxWidth = std::min(maxWidth, boxWidth + step);
        }
        const QPoint centre = geometry().center();
        setFixedSize(boxWidth, layout()->totalHeightForWidth(boxWidth));
        // Stay where Qt centred the box, but wholly on the screen, frame and all: move() places
        // the frame.
        QRect placed = frameGeometry();
        placed.moveCenter(centre);
        placed.moveLeft(
            std::clamp(placed.left(), screenArea.left(),
                       std::max(screenArea.left(), screenArea.right() - placed.width())));
        placed.moveTop(
            std::clamp(placed.top(), screenArea.top(),
                       std::max(screenArea.top(), screenArea.bottom() - placed.height())));
        move(placed.topLeft());
        fitting_ = false;
    }

    bool fitting_ = false;
};

class QtOpenBox final : public MessageBoxes::OpenBox {
  public:
    QtOpenBox(QMessageBox* box, std::shared_ptr<bool> alive)
        : box_(box), alive_(std::move(alive)) {}
    ~QtOpenBox() override {
        *alive_ = false;
        if (box_) {
            box_->disconnect();
            box_->hide();
            box_->deleteLater();
        }
    }

  private:
    QPointer<QMessageBox> box_;
    std::shared_ptr<bool> alive_;
};

}  // namespace

std::unique_ptr<MessageBoxes::OpenBox> QtMessageBoxes::Open(const std::string& text, Kind kind,
                                                            std::function<void()> onDismissed) {
    QWidget* parent = parent_ ? parent_.data() : QApplication::activeWindow();
    auto* box =
        new FittedMessageBox(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                             QApplication::applicationDisplayName(), QString::fromStdString(text),
                             QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setEscapeButton(QMessageBox::Ok);
    box->setAccessibleName(kind == Kind::Error ? QStringLiteral("error message")
                                               : QStringLiteral("message"));
    auto alive = std::make_shared<bool>(true);
    QObject::connect(box, &QMessageBox::finished, box,
                     [alive, onDismissed = std::move(onDismissed)] {
                         // Resume on a later pass of the loop, never inside the signal.
                         QTimer::singleShot(0, qApp, [alive, onDismissed] {
                             if (*alive) {
                                 onDismissed();
                             }
                         });
                     });
    box->open();
    return std::make_unique<QtOpenBox>(box, std::move(alive));
}

}  // namespace lark
