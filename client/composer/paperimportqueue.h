#pragma once

#include "model/exerciseinfo.h"

#include <QByteArray>
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
    const QString &path() const { return m_path; }

    // False when there is no queue file or it cannot be read; exercises and position are
    // then left alone.
    bool read(QList<ExerciseInfo> *exercises, int *position) const;
    // A state equal to the last one written is not written again.
    bool write(const QList<ExerciseInfo> &exercises, int position);
    void discard();

private:
    QString m_path;
    QByteArray m_written;
};
