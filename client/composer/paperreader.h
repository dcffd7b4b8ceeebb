#pragma once

#include "model/exercisetypeinfo.h"
#include "model/paperdraft.h"

#include <QObject>

class QTemporaryDir;

// Reads a Word paper (.docx, or .doc through LibreOffice) with pandoc and cuts it into
// exercises. Runs its processes asynchronously; exactly one of finished and failed ends a read.
class PaperReader : public QObject
{
    Q_OBJECT

public:
    explicit PaperReader(QObject *parent = nullptr);
    ~PaperReader() override;

    // The catalogue the types are guessed from (the server's exercise types of the group).
    void setExerciseTypes(const ExerciseTypeInfoList &types);
    void read(const QString &path);
    // Stops a read in progress; neither finished nor failed follows.
    void cancel();
    bool isReading() const;
    // Where the pictures of the last read were extracted; lives as long as the reader.
    QString mediaDir() const;

signals:
    // A step of the read for a progress display ("正在转换文档", "正在读取文档"…).
    void progress(const QString &step);
    void finished(const PaperDraftList &drafts);
    // A clear message for the teacher; nothing of the paper is kept.
    void failed(const QString &message);
};
