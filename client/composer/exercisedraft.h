#pragma once

#include "composer/draftfile.h"
#include "model/exerciseinfo.h"

#include <QString>

// The exercise a teacher is composing, kept on this machine until a server has it: one file
// per teacher in the per-user data folder, replaced atomically on every write, so a crash or
// a power cut leaves either the previous draft or the new one.
class ExerciseDraft
{
public:
    // The draft file of the teacher with this user id.
    static QString pathFor(int userId);

    explicit ExerciseDraft(const QString &path);
    const QString &path() const { return m_file.path(); }
    bool exists() const { return m_file.exists(); }

    using ReadResult = DraftFile::ReadResult;
    // The exercise as it was written; its id is the exercise under modification, or -1.
    ReadResult read(ExerciseInfo *exercise) const;
    // Writes the composer's state; a state equal to the last one written is not written again.
    // False when the file could not be written.
    bool write(const ExerciseInfo &exercise);
    void discard() { m_file.discard(); }
    // Moves an unreadable draft aside, keeping it for whoever wants to look at it; returns the
    // path it now has.
    QString setAside() { return m_file.setAside(); }

    // Whether a composer state holds anything of the teacher's own: a text, a knowledge point,
    // a correct option, or the exercise being modified.
    static bool holdsWork(const ExerciseInfo &exercise);

private:
    DraftFile m_file;
};
