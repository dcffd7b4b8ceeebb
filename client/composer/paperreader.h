#pragma once

#include "model/exercisetypeinfo.h"
#include "model/paperdraft.h"

#include <QObject>
#include <QProcess>

#include <memory>

class QTemporaryDir;
class QTimer;

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
    // Extract pictures into this folder (kept) instead of a temporary one.
    void setMediaDir(const QString &dir) { m_mediaDir = dir; }
    // Set when the last read found no question numbers: its one draft holds the whole paper.
    QString warning() const { return m_warning; }

    // Largest paper read, and how long one program may take by default.
    static constexpr qint64 maxFileSize = 50 * 1024 * 1024;
    static constexpr int processTimeLimitMs = 60 * 1000;
    void setTimeLimit(int milliseconds) { m_timeLimit = milliseconds; }

signals:
    // A step of the read for a progress display ("正在转换文档", "正在读取文档"…).
    void progress(const QString &step);
    void finished(const PaperDraftList &drafts);
    // A clear message for the teacher; nothing of the paper is kept.
    void failed(const QString &message);
    // Just before finished, when the paper could not be cut into exercises.
    void warned(const QString &message);

private:
    enum Stage { Idle, Converting, Reading };

    bool startProcess(const QString &program, const QStringList &arguments, Stage stage);
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void processTimedOut();
    void convertToDrafts(const QByteArray &json);
    void fail(const QString &message);
    void stopProcess();

    ExerciseTypeInfoList m_types;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess *m_process = nullptr;
    QTimer *m_timer = nullptr;
    Stage m_stage = Idle;
    // a read ended by cancel must not report anything later
    int m_generation = 0;
    bool m_reading = false;
    QString m_warning;
    QString m_mediaDir;
    int m_timeLimit = processTimeLimitMs;
};
