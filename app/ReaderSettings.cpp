#include "ReaderSettings.h"

namespace readersettings {
namespace {

const QString kFindWrapsAround = QStringLiteral("Find/WrapAround");

} // namespace

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KestrelGames"),
                     QStringLiteral("Evenfall Chat Log Reader"));
}

bool findWrapsAround()
{
    return store().value(kFindWrapsAround, false).toBool();
}

void setFindWrapsAround(bool on)
{
    QSettings settings = store();
    settings.setValue(kFindWrapsAround, on);
}

} // namespace readersettings
