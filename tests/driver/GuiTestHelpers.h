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
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QHash>
#include <QImage>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

// The main window keeps Recent Logs in the user's settings. Every program that includes these helpers
// (the window tests and benchmarks) keeps its settings in a temporary folder of its own instead, set
// before any window is made, so that the user's own are never read or written.
inline QString temporarySettingsFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

inline void useTemporarySettings()
{
    QStandardPaths::setTestModeEnabled(true);
    for (QSettings::Format format : {QSettings::IniFormat, QSettings::NativeFormat}) {
        QSettings::setPath(format, QSettings::UserScope, temporarySettingsFolder());
        QSettings::setPath(format, QSettings::SystemScope, temporarySettingsFolder());
    }
}
Q_COREAPP_STARTUP_FUNCTION(useTemporarySettings)

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

// Colours as the user sees them: the WCAG contrast ratio of two colours, from 1 (the same) to 21.
inline double contrastRatio(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A widget rendered as it stands: its background is the colour most of its pixels have, its ink the
// colour that differs most from that (the full strokes of its text).
struct RenderedColours {
    QColor background;
    QColor ink;
};

inline RenderedColours renderedColours(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000];
    }
    RenderedColours colours;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            colours.background = QColor::fromRgb(it.key());
        }
    }
    double furthest = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double ratio = contrastRatio(QColor::fromRgb(it.key()), colours.background);
        if (ratio > furthest) {
            furthest = ratio;
            colours.ink = QColor::fromRgb(it.key());
        }
    }
    return colours;
}

// A dark colour scheme for the application while it lives, as a desktop's dark theme sets one.
struct DarkPalette {
    QPalette previous = QApplication::palette();
    DarkPalette()
    {
        QPalette dark(QColor(53, 53, 53)); // buttons and windows; light text, dark base, shades to match
        dark.setColor(QPalette::Base, QColor(35, 35, 35));
        QApplication::setPalette(dark);
    }
    ~DarkPalette() { QApplication::setPalette(previous); }
};

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}
