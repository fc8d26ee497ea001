#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The main window's shared file dialog. Like the common dialog it stands in for, it keeps its settings
// between uses: the filter ("description|pattern|description|pattern..."), the initial folder, and the
// path chosen last, which stays when a later dialog is cancelled.
class CommonDialog : public QObject {
    Q_OBJECT
public:
    explicit CommonDialog(QWidget *owner);

    QString filter;
    QString initDir;
    QString fileName;    // the path chosen last in this run; empty until a choice is made
    QString dialogTitle; // the dialog's title; empty: the toolkit's own
    // The type of the filter shown first (from 0), and after a confirmed choice the one chosen.
    int filterIndex = 0;
    // Whether a name typed without an extension gets that of the chosen type's first pattern.
    bool addExtension = false;

    // Turns a path as the program shows it into one the file system can open (identity by default).
    std::function<QString(const QString &)> toLocalPath;

    // Shows an open dialog for an existing file. True when the user chose one; FileName then holds it.
    bool showOpen();

    // Shows a save dialog; an existing file is replaced without asking. True when the user confirmed a
    // name; FileName then holds it, exactly as typed (no extension is added).
    bool showSave();

    // The dialog's name filters for a "description|pattern|..." filter: each pair becomes
    // "description (patterns)", with ";" between patterns turned into spaces. A trailing lone
    // description without pattern is dropped.
    static QStringList nameFilters(const QString &filter);

private:
    bool show(bool save);
    QWidget *owner_;
};
