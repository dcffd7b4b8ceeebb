#include "composer/paperreader.h"

#include "composer/pandocconverter.h"
#include "composer/papersplitter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace {

enum class FileKind { Docx, Doc, Encrypted, Other };

// Word files are told by their content: a zip holding word/document.xml, or an OLE compound
// file, which is a .doc or, holding an EncryptedPackage, a .docx with a password.
FileKind kindOf(QFile &file)
{
    const QByteArray head = file.peek(8);
    static const QByteArray zip("PK\x03\x04", 4);
    static const QByteArray ole("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8);
    if (head.startsWith(zip)) {
        const QByteArray all = file.readAll();
        return all.contains("word/document.xml") ? FileKind::Docx : FileKind::Other;
    }
    if (head == ole) {
        const QByteArray all = file.readAll();
        const QString name = QStringLiteral("EncryptedPackage");
        const QByteArray utf16(reinterpret_cast<const char *>(name.utf16()), name.size() * 2);
        return all.contains(utf16) ? FileKind::Encrypted : FileKind::Doc;
    }
    return FileKind::Other;
}

} // namespace

PaperReader::PaperReader(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    qRegisterMetaType<PaperDraftList>("PaperDraftList");
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &PaperReader::processTimedOut);
}

PaperReader::~PaperReader()
{
    stopProcess();
}

void PaperReader::setExerciseTypes(const ExerciseTypeInfoList &types)
{
    m_types = types;
}

bool PaperReader::isReading() const
{
    return m_reading;
}

QString PaperReader::mediaDir() const
{
    if (!m_mediaDir.isEmpty())
        return QDir(m_mediaDir).absolutePath();
    return m_dir ? m_dir->path() : QString();
}

void PaperReader::read(const QString &path)
{
    cancel();
    m_reading = true;
    m_warning.clear();
    m_dir.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/quenmo-paper-XXXXXX")));

    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("无法打开文件“%1”").arg(info.fileName()));
        return;
    }
    if (file.size() > maxFileSize) {
        fail(QStringLiteral("文件超过 50 MB，无法导入"));
        return;
    }
    const FileKind kind = kindOf(file);
    file.close();
    if (kind == FileKind::Other) {
        fail(
            QStringLiteral("“%1”不是 Word 文档，只能导入 .docx 或 .doc 文件").arg(info.fileName()));
        return;
    }
    if (kind == FileKind::Encrypted) {
        fail(QStringLiteral("文档设有密码保护，请在 Word 中取消密码后再导入"));
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty()) {
        fail(QStringLiteral("未找到 pandoc，无法读取 Word 文档，请先安装 pandoc"));
        return;
    }
    if (!m_dir->isValid() || (!m_mediaDir.isEmpty() && !QDir().mkpath(m_mediaDir))) {
        fail(QStringLiteral("无法创建临时文件夹，无法导入"));
        return;
    }
    if (kind == FileKind::Doc) {
        if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty()) {
            fail(QStringLiteral("无法读取 .doc 文档：未找到 LibreOffice。请在 Word 中将它另存为 "
                                ".docx 后再导入"));
            return;
        }
        // a copy with a plain name, so that the converted file's name is known
        const QString copy = m_dir->filePath(QStringLiteral("paper.doc"));
        if (!QFile::copy(path, copy)) {
            fail(QStringLiteral("无法打开文件“%1”").arg(info.fileName()));
            return;
        }
        emit progress(QStringLiteral("正在转换文档"));
        startProcess(QStringLiteral("soffice"),
            {// a profile of its own: a LibreOffice the teacher has open would take the job
             // over and return at once
                QStringLiteral("-env:UserInstallation=")
                    + QUrl::fromLocalFile(m_dir->filePath(QStringLiteral("profile"))).toString(),
                QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                QStringLiteral("docx"), QStringLiteral("--outdir"), m_dir->path(), copy},
            Converting);
        return;
    }
    emit progress(QStringLiteral("正在读取文档"));
    startProcess(QStringLiteral("pandoc"),
        {QStringLiteral("-f"), QStringLiteral("docx"), QStringLiteral("-t"), QStringLiteral("json"),
            QStringLiteral("--extract-media=") + mediaDir(), info.absoluteFilePath()},
        Reading);
}

bool PaperReader::startProcess(const QString &program, const QStringList &arguments, Stage stage)
{
    stopProcess();
    m_stage = stage;
    m_process = new QProcess(this);
    m_process->setWorkingDirectory(m_dir->path());
    connect(m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
        &PaperReader::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processFinished(-1, QProcess::CrashExit);
    });
    m_timer->start(m_timeLimit);
    m_process->start(program, arguments);
    return true;
}

void PaperReader::stopProcess()
{
    m_timer->stop();
    if (!m_process)
        return;
    QProcess *process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(2000);
    }
    process->deleteLater();
}

void PaperReader::processTimedOut()
{
    stopProcess();
    fail(QStringLiteral("读取文档超时，文档可能过大或已损坏"));
}

void PaperReader::processFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process)
        return;
    m_timer->stop();
    const QByteArray output = m_process->readAllStandardOutput();
    const QByteArray errors = m_process->readAllStandardError();
    const Stage stage = m_stage;
    stopProcess();
    const bool ok = status == QProcess::NormalExit && exitCode == 0;
    if (!ok)
        qDebug() << "paper import:" << (stage == Converting ? "soffice" : "pandoc") << exitCode
                 << errors;
    if (stage == Converting) {
        const QString docx = m_dir->filePath(QStringLiteral("paper.docx"));
        if (!ok || !QFileInfo(docx).isFile()) {
            fail(QStringLiteral("无法转换 .doc 文档，文件可能已损坏或设有密码"));
            return;
        }
        emit progress(QStringLiteral("正在读取文档"));
        startProcess(QStringLiteral("pandoc"),
            {QStringLiteral("-f"), QStringLiteral("docx"), QStringLiteral("-t"),
                QStringLiteral("json"), QStringLiteral("--extract-media=") + mediaDir(), docx},
            Reading);
        return;
    }
    if (!ok) {
        fail(QStringLiteral("文档已损坏，无法读取"));
        return;
    }
    convertToDrafts(output);
}

void PaperReader::convertToDrafts(const QByteArray &json)
{
    emit progress(QStringLiteral("正在拆分题目"));
    PandocConverter converter;
    if (!converter.convert(QJsonDocument::fromJson(json), mediaDir())) {
        fail(QStringLiteral("文档已损坏，无法读取"));
        return;
    }
    bool empty = true;
    for (const PaperBlock &block : converter.blocks())
        empty = empty && block.kind == PaperBlock::Paragraph && block.line.trimmed().isEmpty();
    if (empty) {
        fail(QStringLiteral("文档中没有可导入的内容"));
        return;
    }
    PaperSplitter splitter;
    splitter.setExerciseTypes(m_types);
    const PaperDraftList drafts = splitter.split(converter.blocks());
    m_reading = false;
    m_stage = Idle;
    if (!splitter.foundNumbers()) {
        m_warning = QStringLiteral("没有找到题号，整份文档作为一道题导入，请自行拆分");
        emit warned(m_warning);
    }
    emit finished(drafts);
}

void PaperReader::fail(const QString &message)
{
    // reported from the event loop, so that read() never answers before it returns
    const int generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, message] {
        if (generation != m_generation)
            return;
        m_reading = false;
        m_stage = Idle;
        m_dir.reset();
        emit failed(message);
    });
}

void PaperReader::cancel()
{
    ++m_generation;
    stopProcess();
    m_dir.reset();
    m_reading = false;
    m_stage = Idle;
}
