#include "CommonDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QWidget>

CommonDialog::CommonDialog(QWidget *owner) : QObject(owner), owner_(owner)
{
    setObjectName(QStringLiteral("cdgMainDialogs"));
}

QStringList CommonDialog::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        result.append(parts[i] + QStringLiteral(" (") + patterns.simplified() + u')');
    }
    return result;
}

bool CommonDialog::showOpen()
{
    return show(false);
}

bool CommonDialog::showSave()
{
    return show(true);
}

bool CommonDialog::show(bool save)
{
    QFileDialog dialog(owner_);
    dialog.setObjectName(QStringLiteral("cdgMainDialogs_dialog"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The descriptions already name their patterns; show them as written.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = nameFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    const QString folder = toLocalPath ? toLocalPath(initDir) : initDir;
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    fileName = QDir::toNativeSeparators(chosen.first());
    return true;
}
