#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

namespace lark {
namespace {

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
    auto* box = new QMessageBox(kind == Kind::Error ? QMessageBox::Critical : QMessageBox::NoIcon,
                                QApplication::applicationDisplayName(),
                                QString::fromStdString(text), QMessageBox::Ok, parent);
    // Wide enough that an address stays on one line: the label wraps only at spaces or
    // slashes, and the default width breaks a web address in two.
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 30em; }"));
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
