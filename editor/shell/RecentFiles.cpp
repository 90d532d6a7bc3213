// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/shell/RecentFiles.h"

#include "editor/editing/RecoveryJournal.h"
#include "editor/platform/Resources.h"
#include "editor/shell/PersistentSettings.h"

#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QUrl>

namespace {

const QString ListName = QStringLiteral("RecentFiles");
// Far more than ten names or a session could need.
constexpr qint64 MaxStateFileBytes = 4 << 20;
// The desktop's list may hold thousands of entries; beyond this it is not
// read into memory, and not touched.
constexpr qint64 MaxDesktopListBytes = 32 << 20;

QString HomeFolder(const char *variable, const char *fallback)
{
    const QString xdg = qEnvironmentVariable(variable);
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QLatin1String(fallback);
}

QString CompanyStateDirectory()
{
    return HomeFolder("XDG_STATE_HOME", "/.local/state") + u'/' +
           cPersistencyManager::CompanyKeyName(LoadResString(res::CompanyWord));
}

} // namespace

QString StateDirectory()
{
    return CompanyStateDirectory() + u'/' + LoadResString(res::ProductName);
}

void RemoveStateDirectory()
{
    const QString product = StateDirectory();
    // A link is removed itself, never what it points to.
    if (QFileInfo(product).isSymLink()) {
        QFile::remove(product);
    } else {
        // The recovery folder is left to the journal, which keeps the records
        // another running instance holds.
        const QString recovery = QDir::cleanPath(cRecoveryJournals::Folder());
        QDir dir(product);
        for (const QFileInfo &entry :
             dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            const QString path = entry.absoluteFilePath();
            if (QDir::cleanPath(path) == recovery)
                continue;
            if (entry.isDir() && !entry.isSymLink())
                QDir(path).removeRecursively();
            else
                QFile::remove(path);
        }
        dir.rmdir(product); // only when empty
    }
    QDir().rmdir(CompanyStateDirectory()); // only when empty
}

bool WriteStateFile(const QString &name, const QByteArray &bytes)
{
    if (!QDir().mkpath(StateDirectory()))
        return false;
    QSaveFile file(StateDirectory() + u'/' + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray ReadStateFile(const QString &name)
{
    QFile file(StateDirectory() + u'/' + name);
    const QFileInfo info(file.fileName());
    if (!info.isFile() || info.size() > MaxStateFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// ---------------------------------------------------------------------------

cRecentFiles::cRecentFiles()
{
    const QJsonArray names = QJsonDocument::fromJson(ReadStateFile(ListName)).array();
    for (const QJsonValue &name : names)
        if (name.isString() && !name.toString().isEmpty() && FFiles.size() < MaxCount &&
            !FFiles.contains(name.toString()))
            FFiles.append(name.toString());
}

void cRecentFiles::Add(const QString &fileName)
{
    if (fileName.isEmpty() || (!FFiles.isEmpty() && FFiles.first() == fileName))
        return;
    FFiles.removeAll(fileName);
    FFiles.prepend(fileName);
    while (FFiles.size() > MaxCount)
        FFiles.removeLast();
    Save();
}

void cRecentFiles::Remove(const QString &fileName)
{
    if (FFiles.removeAll(fileName) > 0)
        Save();
}

void cRecentFiles::Clear()
{
    FFiles.clear();
    Save();
}

// A list that cannot be written is no reason to bother the user: the files
// themselves are safe.
void cRecentFiles::Save() const
{
    WriteStateFile(ListName, QJsonDocument(QJsonArray::fromStringList(FFiles)).toJson());
}

// ---------------------------------------------------------------------------
// The desktop's list (XBEL with the freedesktop.org bookmark metadata)

namespace {

QString Stamp()
{
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz000Z"));
}

QDomDocument NewDesktopList()
{
    QDomDocument list;
    list.appendChild(list.createProcessingInstruction(QStringLiteral("xml"),
                                                      QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = list.createElement(QStringLiteral("xbel"));
    root.setAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    root.setAttribute(QStringLiteral("xmlns:bookmark"),
                      QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks"));
    root.setAttribute(QStringLiteral("xmlns:mime"),
                      QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info"));
    list.appendChild(root);
    return list;
}

QDomElement Child(QDomElement parent, const QString &tag)
{
    QDomElement child = parent.firstChildElement(tag);
    if (child.isNull())
        child = parent.appendChild(parent.ownerDocument().createElement(tag)).toElement();
    return child;
}

void RecordUse(QDomDocument &list, const QString &href, const QString &mimeType)
{
    const QString now = Stamp();
    QDomElement root = list.documentElement();
    QDomElement bookmark;
    for (QDomElement each = root.firstChildElement(QStringLiteral("bookmark")); !each.isNull();
         each = each.nextSiblingElement(QStringLiteral("bookmark")))
        if (each.attribute(QStringLiteral("href")) == href)
            bookmark = each;
    if (bookmark.isNull()) {
        bookmark = root.appendChild(list.createElement(QStringLiteral("bookmark"))).toElement();
        bookmark.setAttribute(QStringLiteral("href"), href);
        bookmark.setAttribute(QStringLiteral("added"), now);
    }
    bookmark.setAttribute(QStringLiteral("modified"), now);
    bookmark.setAttribute(QStringLiteral("visited"), now);

    QDomElement info = Child(bookmark, QStringLiteral("info"));
    QDomElement metadata;
    for (QDomElement each = info.firstChildElement(QStringLiteral("metadata")); !each.isNull();
         each = each.nextSiblingElement(QStringLiteral("metadata")))
        if (each.attribute(QStringLiteral("owner")) == QLatin1String("http://freedesktop.org"))
            metadata = each;
    if (metadata.isNull()) {
        metadata = info.appendChild(list.createElement(QStringLiteral("metadata"))).toElement();
        metadata.setAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    }
    QDomElement mime = Child(metadata, QStringLiteral("mime:mime-type"));
    mime.setAttribute(QStringLiteral("type"), mimeType);
    QDomElement applications = Child(metadata, QStringLiteral("bookmark:applications"));
    QDomElement application;
    for (QDomElement each = applications.firstChildElement(QStringLiteral("bookmark:application"));
         !each.isNull(); each = each.nextSiblingElement(QStringLiteral("bookmark:application")))
        if (each.attribute(QStringLiteral("name")) == QLatin1String("quorvel"))
            application = each;
    if (application.isNull()) {
        application =
            applications.appendChild(list.createElement(QStringLiteral("bookmark:application"))).toElement();
        application.setAttribute(QStringLiteral("name"), QStringLiteral("quorvel"));
        application.setAttribute(QStringLiteral("exec"), QStringLiteral("'quorvel %u'"));
    }
    application.setAttribute(QStringLiteral("modified"), now);
    application.setAttribute(QStringLiteral("count"),
                             application.attribute(QStringLiteral("count"), QStringLiteral("0")).toInt() + 1);
}

} // namespace

bool AddToDesktopRecentFiles(const QString &fileName)
{
    const QString folder = HomeFolder("XDG_DATA_HOME", "/.local/share");
    const QString listName = folder + QStringLiteral("/recently-used.xbel");
    if (!QDir().mkpath(folder))
        return false;
    // Another program writing the list at the same moment waits, or we give up.
    QLockFile lock(listName + QStringLiteral(".lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(1000))
        return false;

    QDomDocument list;
    const QFileInfo info(listName);
    if (info.exists()) {
        QFile file(listName);
        if (!info.isFile() || info.size() > MaxDesktopListBytes || !file.open(QIODevice::ReadOnly))
            return false;
        if (!list.setContent(&file) || list.documentElement().tagName() != QLatin1String("xbel"))
            return false;
    } else {
        list = NewDesktopList();
    }
    const QString href = QString::fromLatin1(QUrl::fromLocalFile(fileName).toEncoded());
    RecordUse(list, href, QMimeDatabase().mimeTypeForFile(fileName).name());

    QSaveFile file(listName);
    const QByteArray bytes = list.toByteArray(2);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
