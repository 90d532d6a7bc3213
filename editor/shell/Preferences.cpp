#include "editor/shell/Preferences.h"

#include "editor/editing/TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

cPreferences::cPreferences(const QString &directory) : FFileName(directory + QStringLiteral("/Preferences"))
{}

void cPreferences::Load()
{
    FValues.clear();
    QFile file(FFileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // A preferences file is a few lines; anything larger is not ours.
    const QByteArray bytes = file.read(1 << 16);
    for (const QByteArray &raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype equals = line.indexOf(u'=');
        if (line.isEmpty() || line.startsWith(u'#') || equals <= 0)
            continue;
        FValues[line.left(equals).trimmed()] = line.mid(equals + 1).trimmed();
    }
}

void cPreferences::Save() const
{
    QString text = QStringLiteral("# Zelmar preferences: one Key=Value a line.\n");
    for (const auto &[key, value] : FValues)
        text += key + u'=' + value + u'\n';
    QDir().mkpath(QFileInfo(FFileName).path());
    WriteFileSafely(FFileName, {}, text.toUtf8());
}

bool cPreferences::Bool(const QString &key, bool fallback) const
{
    const auto it = FValues.find(key);
    if (it == FValues.end())
        return fallback;
    if (it->second == u"true" || it->second == u"1")
        return true;
    if (it->second == u"false" || it->second == u"0")
        return false;
    return fallback;
}

void cPreferences::SetBool(const QString &key, bool value)
{
    FValues[key] = value ? QStringLiteral("true") : QStringLiteral("false");
}
