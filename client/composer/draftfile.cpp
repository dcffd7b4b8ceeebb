#include "composer/draftfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString DraftFile::pathFor(const QString &name)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/drafts/") + name;
}

DraftFile::DraftFile(const QString &path)
    : m_path(path)
{ }

bool DraftFile::exists() const
{
    return QFileInfo::exists(m_path);
}

DraftFile::ReadResult DraftFile::read(QByteArray *bytes) const
{
    QFile file(m_path);
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::Unreadable;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? ReadResult::Found : ReadResult::Unreadable;
}

bool DraftFile::write(const QByteArray &bytes)
{
    // a discarded or set-aside file is written again even when nothing changed
    if (bytes == m_written && exists())
        return true;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return false;
    m_written = bytes;
    return true;
}

void DraftFile::discard()
{
    QFile::remove(m_path);
}

QString DraftFile::setAside()
{
    const QString aside = m_path + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = aside;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = aside + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(m_path, target))
        return QString();
    return target;
}
