#include "composer/paperimport.h"

#include "app/api.h"
#include "browser/mainwindow.h"
#include "composer/exercisedraft.h"
#include "composer/exerciseheaderwidget.h"
#include "composer/paperimportqueue.h"
#include "composer/paperpictureupload.h"
#include "composer/paperreader.h"
#include "widgets/messagedialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>
#include <QProgressDialog>

#include <algorithm>

namespace {

const QString title = QStringLiteral("导入试卷");

PaperImport::Reader programReader(PaperImport *import)
{
    auto reader = new PaperReader(import);
    QObject::connect(reader, &PaperReader::progress, import, &PaperImport::readerProgress);
    QObject::connect(reader, &PaperReader::finished, import, &PaperImport::startPaperImport);
    QObject::connect(reader, &PaperReader::failed, import, &PaperImport::readerFailed);
    QObject::connect(reader, &PaperReader::warned, import, &PaperImport::readerWarned);
    return {[reader](const QString &path, const ExerciseTypeInfoList &types) {
                reader->setExerciseTypes(types);
                reader->read(path);
            },
        [reader] { reader->cancel(); }};
}

PaperImport::ReaderFactory &readerFactory()
{
    static PaperImport::ReaderFactory factory = programReader;
    return factory;
}

} // namespace

const QString PaperImport::modificationQuestion
    = QStringLiteral("正在修改的题目还没有保存，是否放弃修改，转到试卷的题目？");

void PaperImport::setReaderFactory(const ReaderFactory &factory)
{
    readerFactory() = factory ? factory : ReaderFactory(programReader);
}

PaperImport::PaperImport(MainWindow *window, ExerciseHeaderWidget *header)
    : QObject(window)
    , m_window(window)
    , m_header(header)
    , m_upload(new PaperPictureUpload(this))
{
    connect(m_upload, &PaperPictureUpload::progress, this, [this](int done, int total) {
        if (!m_progress || done >= total)
            return;
        m_progress->setRange(0, total);
        m_progress->setValue(done);
        m_progress->setLabelText(QStringLiteral("正在上传图片 ") + QString::number(done + 1)
            + QStringLiteral(" / ") + QString::number(total));
    });
    connect(m_upload, &PaperPictureUpload::finished, this, &PaperImport::picturesUploaded);
    connect(m_upload, &PaperPictureUpload::failed, this, &PaperImport::fail);
    connect(header, &ExerciseHeaderWidget::importPaper, this, &PaperImport::choosePaper);
    connect(header, &ExerciseHeaderWidget::previousPaper, this, &PaperImport::showPrevious);
    connect(header, &ExerciseHeaderWidget::nextPaper, this, &PaperImport::showNext);
    connect(header, &ExerciseHeaderWidget::skipPaper, this, &PaperImport::skip);
}

PaperImport::~PaperImport() = default;

bool PaperImport::isReading() const
{
    return m_reading || m_upload->isRunning();
}

// ---- reading

bool PaperImport::confirmReplacing()
{
    QString question;
    ExerciseInfo state;
    if (isActive()) {
        question = QStringLiteral("当前试卷还有 ") + QString::number(m_exercises.size())
            + QStringLiteral(" 道题未录入，是否放弃它们并导入新的试卷？");
    } else if (m_window->getExerciseInfo(state, false) && ExerciseDraft::holdsWork(state)) {
        question = QStringLiteral("正在录入的题目将被试卷的题目替换，是否继续？");
    }
    return question.isEmpty() || showMessage(m_window, title, question, true) == 1;
}

void PaperImport::choosePaper()
{
    if (isReading() || !confirmReplacing())
        return;
    const QString path = QFileDialog::getOpenFileName(m_window, QStringLiteral("选择试卷"),
        QString(), QStringLiteral("Word 文档 (*.docx *.doc)"));
    if (!path.isEmpty())
        readPaper(path);
}

void PaperImport::readPaper(const QString &path)
{
    if (isReading())
        return;
    if (!m_readerMade) {
        m_reader = readerFactory()(this);
        m_readerMade = true;
    }
    if (!m_reader.read) {
        showMessage(
            m_window, Api::warningTitle, QStringLiteral("无法导入试卷：缺少读取试卷的组件"), false);
        return;
    }
    m_reading = true;
    m_warning.clear();
    showProgress(QStringLiteral("正在读取试卷：") + QFileInfo(path).fileName());
    m_reader.read(path, m_window->exerciseTypeList());
}

void PaperImport::readerProgress(const QString &step)
{
    if (m_progress && m_reading)
        m_progress->setLabelText(step);
}

void PaperImport::startPaperImport(const PaperDraftList &drafts)
{
    m_reading = false;
    if (drafts.isEmpty()) {
        fail(QStringLiteral("试卷中没有找到题目"));
        return;
    }
    if (!m_progress)
        showProgress(QString());
    m_upload->start(drafts);
}

void PaperImport::readerWarned(const QString &message)
{
    if (m_reading)
        m_warning = message;
}

void PaperImport::readerFailed(const QString &message)
{
    m_reading = false;
    fail(message);
}

void PaperImport::fail(const QString &message)
{
    closeProgress();
    showMessage(m_window, Api::warningTitle, message, false);
}

void PaperImport::cancelImport()
{
    if (m_reading && m_reader.cancel)
        m_reader.cancel();
    m_reading = false;
    m_upload->cancel();
    closeProgress();
}

void PaperImport::showProgress(const QString &text)
{
    closeProgress();
    m_progress = new QProgressDialog(text, QStringLiteral("取消"), 0, 0, m_window);
    m_progress->setWindowTitle(title);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setMinimumWidth(360);
    // a read has no measure: the bar runs without a percentage until pictures are counted
    auto bar = new QProgressBar(m_progress);
    bar->setTextVisible(false);
    m_progress->setBar(bar);
    m_progress->setRange(0, 0);
    connect(m_progress, &QProgressDialog::canceled, this, &PaperImport::cancelImport);
    m_progress->show();
}

void PaperImport::closeProgress()
{
    if (!m_progress)
        return;
    QProgressDialog *progress = m_progress;
    m_progress = nullptr;
    progress->disconnect(this);
    progress->hide();
    progress->deleteLater();
}

ExerciseTypeInfo PaperImport::typeFor(const PaperDraft &draft) const
{
    const ExerciseTypeInfoList &types = m_window->exerciseTypeList();
    for (const ExerciseTypeInfo &type : types) {
        if (draft.exerciseTypeId != 0 && type.id == draft.exerciseTypeId)
            return type;
    }
    for (const ExerciseTypeInfo &type : types) {
        if (!draft.exerciseTypeName.isEmpty() && type.name == draft.exerciseTypeName)
            return type;
    }
    // the teacher corrects it; until then the type chosen in the header
    const int chosen = m_header->exerciseTypeIndex();
    if (chosen >= 0 && chosen < types.size())
        return types.at(chosen);
    return types.isEmpty() ? ExerciseTypeInfo() : types.first();
}

void PaperImport::picturesUploaded(const PaperDraftList &drafts)
{
    closeProgress();
    QList<ExerciseInfo> exercises;
    for (const PaperDraft &draft : drafts) {
        ExerciseInfo exercise = draft.exercise;
        const ExerciseTypeInfo type = typeFor(draft);
        exercise.id = -1;
        exercise.exerciseTypeId = type.id;
        exercise.exerciseTypeName = type.name;
        for (QuestionInfo &question : exercise.questions) {
            // the composer marks the correct options from the letters of the answer
            QString letters;
            for (const OptionInfo &option : qAsConst(question.options)) {
                if (option.isAnswer)
                    letters += QChar(u'A' + option.index);
            }
            if (!letters.isEmpty()) {
                AnswerInfo answer;
                answer.content = letters;
                question.answers = {answer};
            }
        }
        exercises << exercise;
    }
    m_exercises = exercises;
    show(0);
    if (!m_warning.isEmpty())
        showMessage(m_window, title, qExchange(m_warning, QString()), false);
}

// ---- the queue on screen

void PaperImport::keepShown()
{
    if (!m_showing || m_window->isBodyPending() || m_window->modifyingId() != -1)
        return;
    ExerciseInfo state;
    if (m_window->getExerciseInfo(state, false))
        m_exercises[m_position] = state;
}

void PaperImport::show(int position)
{
    if (m_exercises.isEmpty()) {
        dropQueue();
        return;
    }
    m_position = qBound(0, position, m_exercises.size() - 1);
    ExerciseInfo exercise = m_exercises.at(m_position);
    std::stable_sort(exercise.questions.begin(), exercise.questions.end(),
        [](const QuestionInfo &a, const QuestionInfo &b) {
            return a.questionIndex < b.questionIndex;
        });
    // a draft not yet edited names no group: it goes where the header points
    exercise.id = -1;
    if (exercise.difficultyDegree == 0)
        exercise.difficultyDegree = m_header->rate();
    m_header->setPaperPosition(m_position, m_exercises.size());
    m_showing = true;
    saveQueue();
    m_window->loadExercise(exercise);
}

bool PaperImport::leaveModification()
{
    // a stored exercise opened meanwhile is not replaced without the teacher's word
    if (m_window->modifyingId() == -1)
        return true;
    return showMessage(m_window, title, modificationQuestion, true) == 1;
}

void PaperImport::showPrevious()
{
    if (!isActive() || m_position == 0 || !leaveModification())
        return;
    keepShown();
    show(m_position - 1);
}

void PaperImport::showNext()
{
    if (!isActive() || m_position + 1 >= m_exercises.size() || !leaveModification())
        return;
    keepShown();
    show(m_position + 1);
}

void PaperImport::removeShown()
{
    m_exercises.removeAt(m_position);
    show(m_position);
}

void PaperImport::skip()
{
    if (!isActive() || !leaveModification())
        return;
    if (!m_showing) {
        show(m_position);
        return;
    }
    removeShown();
    if (!isActive()) {
        // the last one is gone: the composer starts empty, with the type it shows
        ExerciseInfo empty;
        empty.exerciseTypeId = m_window->currentTypeDetail().exerciseId;
        empty.difficultyDegree = m_header->rate();
        const int group = m_header->groupIndex();
        if (group >= 0 && group < m_window->groupList().size())
            empty.folderId = m_window->groupList().at(group).groupId;
        m_window->loadExercise(empty);
    }
}

void PaperImport::exerciseAdded()
{
    if (isActive() && m_showing)
        removeShown();
}

void PaperImport::compositionCancelled(bool wasNew)
{
    if (!isActive())
        return;
    if (wasNew && m_showing)
        removeShown();
    else
        show(m_position);
}

void PaperImport::keepState(const ExerciseInfo &state)
{
    if (!isActive())
        return;
    if (state.id != -1) {
        // a stored exercise opened for modification; the paper waits for it
        m_showing = false;
        return;
    }
    if (!m_showing) {
        show(m_position);
        return;
    }
    m_exercises[m_position] = state;
    saveQueue();
}

// ---- kept on disk

void PaperImport::keepQueueIn(const QString &path)
{
    m_queue = std::make_unique<PaperImportQueue>(path);
}

void PaperImport::saveQueue()
{
    if (m_queue && isActive())
        m_queue->write(m_exercises, m_position);
}

bool PaperImport::restoreQueue()
{
    if (!m_queue)
        return false;
    switch (m_queue->read(&m_exercises, &m_position)) {
    case PaperImportQueue::ReadResult::Found:
        return true;
    case PaperImportQueue::ReadResult::Missing:
        return false;
    case PaperImportQueue::ReadResult::Unreadable:
        break;
    }
    // kept for whoever wants to look at it, as an unreadable draft is
    const QString aside = m_queue->setAside();
    showMessage(m_window, Api::warningTitle,
        QStringLiteral("未提交的题目无法读取，已另存为：")
            + QDir::toNativeSeparators(aside.isEmpty() ? m_queue->path() : aside),
        false);
    return false;
}

void PaperImport::resumeQueue(bool interrupted)
{
    if (!isActive())
        return;
    if (interrupted) {
        m_showing = false;
        m_header->setPaperPosition(m_position, m_exercises.size());
        return;
    }
    show(m_position);
}

void PaperImport::dropQueue()
{
    m_exercises.clear();
    m_position = 0;
    m_showing = false;
    m_header->setPaperPosition(0, 0);
    if (m_queue)
        m_queue->discard();
}
