#include "CommonDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QWidget>

#include <algorithm>

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
    if (!dialogTitle.isEmpty())
        dialog.setWindowTitle(dialogTitle);
    const QStringList filters = nameFilters(filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(filterIndex));
    }
    // The dialog names the chosen type as shown: its description, the patterns hidden.
    const QStringList parts = filter.split(u'|');
    auto typeOf = [&](const QString &chosen) {
        for (qsizetype i = 0; i < filters.size(); ++i) {
            if (filters[i] == chosen || parts.value(2 * i) == chosen)
                return int(i);
        }
        return -1;
    };
    if (addExtension) {
        // The extension of a type's first pattern ("*.html"), for the type chosen at the time.
        auto extensionOf = [&](const QString &chosen) {
            const QString pattern = parts.value(2 * typeOf(chosen) + 1).section(u';', 0, 0);
            return pattern.startsWith(QLatin1String("*.")) ? pattern.mid(2) : QString();
        };
        dialog.setDefaultSuffix(extensionOf(dialog.selectedNameFilter()));
        connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, extensionOf](const QString &chosen) { dialog.setDefaultSuffix(extensionOf(chosen)); });
    }
    const QString folder = toLocalPath ? toLocalPath(initDir) : initDir;
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    fileName = QDir::toNativeSeparators(chosen.first());
    filterIndex = std::max(0, typeOf(dialog.selectedNameFilter()));
    return true;
}
