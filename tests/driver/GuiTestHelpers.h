#pragma once

// Helpers shared by the window tests: answering modal dialogs and message boxes from the event loop
// they spin, and writing small files.

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>

// Answers the next modal widget with action, from inside the event loop that the modal widget spins.
// The action is repeated while that widget stays up (a file dialog may refuse an answer while it is
// still reading its folder), and the answer is scoped: one never needed does not linger into the next
// test.
class ModalAnswer {
public:
    // With accepts given, only a modal widget it accepts is answered; others are left to other answers.
    explicit ModalAnswer(std::function<void(QWidget *)> action, std::function<bool(QWidget *)> accepts = {})
        : action_(std::move(action)), accepts_(std::move(accepts))
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (acted_ && modal != answered_) {
                timer_.stop();
                return;
            }
            if (modal && (!accepts_ || accepts_(modal))) {
                acted_ = true;
                answered_ = modal;
                action_(modal);
            }
        });
        timer_.start();
    }

    bool answered() const { return acted_; }

private:
    std::function<void(QWidget *)> action_;
    std::function<bool(QWidget *)> accepts_;
    QPointer<QWidget> answered_;
    bool acted_ = false;
    QTimer timer_;
};

// Runs dialog with exec() and, once it is up, hands it to action. Whatever modal widget the action leaves
// open is closed so that the test can go on; *leftOpen then tells one was.
inline int execAnswered(QDialog &dialog, const std::function<void(QDialog *)> &action,
                        bool *leftOpen = nullptr)
{
    bool open = false;
    ModalAnswer answer([&](QWidget *modal) {
        if (modal == &dialog)
            action(&dialog);
        open = modal->isVisible();
        if (open)
            modal->close();
    });
    const int result = dialog.exec();
    if (leftOpen)
        *leftOpen = open;
    return result;
}

// Chooses path in a file dialog as a user would: types it into the file name box and confirms.
inline void chooseInFileDialog(QWidget *modal, const QString &path)
{
    auto *dialog = qobject_cast<QFileDialog *>(modal);
    QVERIFY2(dialog, "expected a file dialog");
    auto *nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameBox);
    nameBox->setText(path);
    static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept checks the typed name
}

inline void cancelDialog(QWidget *modal)
{
    auto *dialog = qobject_cast<QDialog *>(modal);
    QVERIFY2(dialog, "expected a dialog");
    dialog->reject();
}

// What a message box showed before it was closed with OK.
struct MessageSeen {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int count = 0;
};

inline std::function<void(QWidget *)> acceptMessage(MessageSeen *seen)
{
    return [seen](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY2(box, "expected a message box");
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        ++seen->count;
        box->accept();
    };
}

// Answers only message boxes, recording what they showed.
inline std::function<bool(QWidget *)> isMessageBox()
{
    return [](QWidget *modal) { return qobject_cast<QMessageBox *>(modal) != nullptr; };
}

inline std::function<bool(QWidget *)> isFileDialog()
{
    return [](QWidget *modal) { return qobject_cast<QFileDialog *>(modal) != nullptr; };
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}
