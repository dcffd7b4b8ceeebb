#pragma once

#include "model/exerciseinfo.h"
#include "model/exercisetypeinfo.h"
#include "model/paperdraft.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class ExerciseHeaderWidget;
class MainWindow;
class PaperImportQueue;
class PaperPictureUpload;
class QProgressDialog;

// Brings a whole Word paper into the composer: the teacher chooses the file, its exercises are
// read and their pictures uploaded under a cancellable progress display, then the composer
// shows them one by one ("第 1 / 20 题", "上一题", "下一题", "跳过") until each is entered or
// skipped. Nothing reaches the bank but what the teacher submits with "完成".
class PaperImport : public QObject
{
    Q_OBJECT

public:
    // What reads a paper: starts a read and stops one. It reports to readerProgress,
    // readerWarned, startPaperImport and readerFailed.
    struct Reader {
        std::function<void(const QString &path, const ExerciseTypeInfoList &types)> read;
        std::function<void()> cancel;
    };
    using ReaderFactory = std::function<Reader(PaperImport *import)>;
    // Replaces the program's reader for imports created from now on.
    static void setReaderFactory(const ReaderFactory &factory);

    PaperImport(MainWindow *window, ExerciseHeaderWidget *header);
    ~PaperImport() override;

    // Keeps the queue in this file from now on.
    void keepQueueIn(const QString &path);
    // Reads the queue a former run left; true when there is one. Nothing is shown yet.
    bool restoreQueue();
    // Shows the restored queue's exercise; with interrupted, the composer holds something
    // else for now and the queue comes back once it is done.
    void resumeQueue(bool interrupted);
    // Forgets the queue, on screen and on disk.
    void dropQueue();
    // The composer's state, kept for the exercise of the queue it shows.
    void keepState(const ExerciseInfo &state);

    // Asked before the paper's next exercise replaces a stored one opened for modification.
    static const QString modificationQuestion;

    bool isReading() const;
    bool isActive() const { return !m_exercises.isEmpty(); }
    // The composer shows the queue's exercise (not a stored one opened meanwhile).
    bool isShowing() const { return isActive() && m_showing; }
    int position() const { return m_position; }
    const QList<ExerciseInfo> &exercises() const { return m_exercises; }
    QProgressDialog *progressDialog() const { return m_progress; }

public slots:
    // The header's "导入试卷": asks for the file, then reads it.
    void choosePaper();
    void readPaper(const QString &path);
    void readerProgress(const QString &step);
    // The exercises the reader found; their pictures are uploaded, then the first is shown.
    void startPaperImport(const PaperDraftList &drafts);
    void readerFailed(const QString &message);
    // Said to the teacher once the drafts are shown (a paper that could not be cut up).
    void readerWarned(const QString &message);
    // Stops reading or uploading; the composer stays as it was.
    void cancelImport();

    void showPrevious();
    void showNext();
    void skip();
    // The shown exercise was entered ("录入成功"): the next one comes.
    void exerciseAdded();
    void compositionCancelled(bool wasNew);

private:
    void picturesUploaded(const PaperDraftList &drafts);
    void fail(const QString &message);
    void showProgress(const QString &text);
    void closeProgress();
    bool confirmReplacing();
    bool leaveModification();
    void keepShown();
    void show(int position);
    void removeShown();
    void saveQueue();
    ExerciseTypeInfo typeFor(const PaperDraft &draft) const;

    MainWindow *m_window;
    ExerciseHeaderWidget *m_header;
    Reader m_reader;
    bool m_readerMade = false;
    bool m_reading = false;
    QString m_warning;
    PaperPictureUpload *m_upload;
    QPointer<QProgressDialog> m_progress;
    std::unique_ptr<PaperImportQueue> m_queue;
    QList<ExerciseInfo> m_exercises;
    int m_position = 0;
    // the composer shows the exercise at m_position (not a modification opened meanwhile)
    bool m_showing = false;
};
