#pragma once

#include <QByteArray>
#include <QString>

// One file of the teacher's work kept on this machine (the drafts folder of the per-user data
// folder): replaced atomically on every write, so a crash or a power cut leaves either the
// previous content or the new one.
class DraftFile
{
public:
    // name in the drafts folder of the per-user data folder
    static QString pathFor(const QString &name);

    explicit DraftFile(const QString &path);
    const QString &path() const { return m_path; }
    bool exists() const;

    enum class ReadResult { Missing, Found, Unreadable };
    ReadResult read(QByteArray *bytes) const;
    // Content equal to the last one written is not written again while the file is there.
    // False when the file could not be written.
    bool write(const QByteArray &bytes);
    void discard();
    // Moves a file that cannot be read aside, keeping it for whoever wants to look at it;
    // returns the path it now has, empty when it could not be moved.
    QString setAside();

private:
    QString m_path;
    QByteArray m_written;
};
