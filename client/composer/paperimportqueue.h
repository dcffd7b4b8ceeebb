#pragma once

#include "composer/draftfile.h"
#include "model/exerciseinfo.h"

#include <QList>
#include <QString>

// The exercises of an imported paper still waiting for the teacher, and which one is shown.
// Kept beside the teacher's draft and replaced atomically on every write, so a closed window
// or a crash loses nothing of the import.
class PaperImportQueue
{
public:
    // The queue file of the teacher with this user id.
    static QString pathFor(int userId);

    explicit PaperImportQueue(const QString &path);
    const QString &path() const { return m_file.path(); }

    using ReadResult = DraftFile::ReadResult;
    // Unless Found, exercises and position are left alone.
    ReadResult read(QList<ExerciseInfo> *exercises, int *position) const;
    // A state equal to the last one written is not written again.
    bool write(const QList<ExerciseInfo> &exercises, int position);
    void discard() { m_file.discard(); }
    // Moves an unreadable queue aside; returns the path it now has, empty when it stayed.
    QString setAside() { return m_file.setAside(); }

private:
    DraftFile m_file;
};
