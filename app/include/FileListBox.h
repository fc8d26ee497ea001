#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

// The hidden file list behind the file combo: the names of the files of one folder that match a
// pattern. Names only, without folder; on Windows in the order the system lists them, elsewhere sorted
// by name. Hidden files are left out.
class FileListBox : public QObject {
    Q_OBJECT
public:
    struct Error {
        int number = 0; // 76: path not found, 75: path/file access error
        QString description;
    };

    explicit FileListBox(QObject *parent = nullptr);

    QString pattern = QStringLiteral("client_chat_log_*.txt");

    // Turns a folder as the program shows it into one the file system can list (identity by default).
    std::function<QString(const QString &)> toLocalPath;

    // Points the list at folder and re-reads it. An empty folder gives an empty list. A folder that
    // does not exist or cannot be read leaves the list unchanged and returns the error.
    bool setPath(const QString &folder, Error *error);
    // Whether local, the folder as the file system names it, is a folder that can be listed; if not,
    // false with the error that setPath gives for folder.
    static bool canList(const QString &local, const QString &folder, Error *error);

    QString path() const { return path_; }
    const QStringList &items() const { return items_; }
    qsizetype listCount() const { return items_.size(); }

private:
    QString path_;
    QStringList items_;
};
