#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class QLineEdit;

// When the folder typed into Path is looked at, so that a folder half typed ("/t", "/tm") raises no
// box at every key: a folder that exists (or an empty box) at once; any other text once typing pauses,
// Enter is pressed or the box loses the focus, and each text once.
class FolderBoxCheck : public QObject {
    Q_OBJECT
public:
    // How long typing pauses before the text is looked at, in milliseconds.
    static constexpr int kPauseMs = 600;

    // Watches box; isFolder tells whether a text names a folder that exists.
    FolderBoxCheck(QLineEdit *box, std::function<bool(const QString &)> isFolder);

    // text has just been looked at by other means (a browse): its check is not due any more.
    void checked(const QString &text);

signals:
    // The box's text is to be looked at now.
    void checkWanted();

private:
    void textChanged(const QString &text);
    void checkNow();

    QLineEdit *box_;
    std::function<bool(const QString &)> isFolder_;
    QTimer pause_;
    std::optional<QString> lastChecked_;
};
