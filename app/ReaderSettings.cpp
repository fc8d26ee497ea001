#include "ReaderSettings.h"

namespace readersettings {
namespace {

const QString kFindWrapsAround = QStringLiteral("Find/WrapAround");
const QString kFindMatchesCase = QStringLiteral("Find/MatchCase");
const QString kFindSearchesUp = QStringLiteral("Find/SearchUp");
const QString kShowTimestamp = QStringLiteral("View/ShowTimestamp");
const QString kDisplayGameFeedback = QStringLiteral("View/DisplayGameFeedback");
const QString kDisplaySystem = QStringLiteral("View/DisplaySystem");
const QString kChatOrder = QStringLiteral("View/SortChats");
const QString kFolder = QStringLiteral("Window/Folder");
const QString kGeometry = QStringLiteral("Window/Geometry");
const QString kMaximized = QStringLiteral("Window/Maximized");
const QString kState = QStringLiteral("Window/State");

// The order as stored, by a name that a reader of the file understands.
constexpr std::pair<modMain::ChatOrder, const char *> kOrderNames[] = {
    {modMain::ChatOrder::Appearance, "appearance"},
    {modMain::ChatOrder::Name, "name"},
    {modMain::ChatOrder::LastLine, "lastLine"},
};

// An INI file holds every value as text: a bool is "true" or "false", anything else is none.
bool boolValue(const QString &key, bool otherwise)
{
    const QVariant value = store().value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return otherwise;
}

void setValue(const QString &key, const QVariant &value)
{
    QSettings settings = store();
    settings.setValue(key, value);
}

QByteArray bytesValue(const QString &key)
{
    const QVariant value = store().value(key);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

} // namespace

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("KestrelGames"),
                     QStringLiteral("Evenfall Chat Log Reader"));
}

bool findWrapsAround()
{
    return boolValue(kFindWrapsAround, false);
}

void setFindWrapsAround(bool on)
{
    setValue(kFindWrapsAround, on);
}

bool findMatchesCase()
{
    return boolValue(kFindMatchesCase, false);
}

void setFindMatchesCase(bool on)
{
    setValue(kFindMatchesCase, on);
}

bool findSearchesUp()
{
    return boolValue(kFindSearchesUp, false);
}

void setFindSearchesUp(bool up)
{
    setValue(kFindSearchesUp, up);
}

modMain::DisplayOptions displayOptions(const modMain::DisplayOptions &defaults)
{
    modMain::DisplayOptions options;
    options.ShowTimestamp = boolValue(kShowTimestamp, defaults.ShowTimestamp);
    options.DisplayGameFeedback = boolValue(kDisplayGameFeedback, defaults.DisplayGameFeedback);
    options.DisplaySystem = boolValue(kDisplaySystem, defaults.DisplaySystem);
    return options;
}

void setDisplayOptions(const modMain::DisplayOptions &options)
{
    QSettings settings = store();
    settings.setValue(kShowTimestamp, options.ShowTimestamp);
    settings.setValue(kDisplayGameFeedback, options.DisplayGameFeedback);
    settings.setValue(kDisplaySystem, options.DisplaySystem);
}

modMain::ChatOrder chatOrder()
{
    const QString stored = store().value(kChatOrder).toString();
    for (const auto &[order, name] : kOrderNames) {
        if (stored == QLatin1String(name))
            return order;
    }
    return modMain::ChatOrder::Appearance;
}

void setChatOrder(modMain::ChatOrder order)
{
    for (const auto &[known, name] : kOrderNames) {
        if (known == order)
            setValue(kChatOrder, QString::fromLatin1(name));
    }
}

QString folder()
{
    const QVariant value = store().value(kFolder);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void setFolder(const QString &folder)
{
    setValue(kFolder, folder);
}

QRect windowGeometry()
{
    const QVariant value = store().value(kGeometry);
    return value.typeId() == QMetaType::QRect ? value.toRect() : QRect();
}

bool windowMaximized()
{
    return boolValue(kMaximized, false);
}

QByteArray windowState()
{
    return bytesValue(kState);
}

void setWindow(const QRect &geometry, bool maximized, const QByteArray &state)
{
    QSettings settings = store();
    settings.setValue(kGeometry, geometry);
    settings.setValue(kMaximized, maximized);
    settings.setValue(kState, state);
}

} // namespace readersettings
