#include "papermaker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

const char contentTypes[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Default Extension=\"png\" ContentType=\"image/png\"/>"
      "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
      "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";

const char packageRelationships[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";

} // namespace

PaperMaker::PaperMaker(const QString &dir)
    : m_dir(dir)
{ }

bool PaperMaker::run(
    const QString &program, const QStringList &arguments, const QString &workingDir)
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = program + QStringLiteral(" failed: ")
            + QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
        return false;
    }
    return true;
}

QString PaperMaker::fromMarkdown(const QString &name, const QString &markdown)
{
    const QString source = QDir(m_dir).filePath(name + QStringLiteral(".md"));
    const QString target = QDir(m_dir).filePath(name + QStringLiteral(".docx"));
    if (!writeFile(source, markdown.toUtf8())
        || !run(QStringLiteral("pandoc"),
            {QStringLiteral("-f"), QStringLiteral("markdown"), QStringLiteral("-t"),
                QStringLiteral("docx"), QStringLiteral("-o"), target, source},
            m_dir))
        return QString();
    return target;
}

QString PaperMaker::fromBody(const QString &name, const QString &body, const QStringList &pictures)
{
    const QString parts = QDir(m_dir).filePath(name + QStringLiteral("-parts"));
    QDir(parts).removeRecursively();
    QDir().mkpath(parts + QStringLiteral("/word/media"));
    QByteArray relationships = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                               "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
                               "2006/relationships\">";
    for (int i = 0; i < pictures.size(); ++i) {
        const QString target = QStringLiteral("media/picture%1.png").arg(i + 1);
        QFile::copy(pictures.at(i), parts + QStringLiteral("/word/") + target);
        relationships += QStringLiteral(
            "<Relationship Id=\"rIdImage%1\" Type=\"http://schemas.openxmlformats.org/"
            "officeDocument/2006/relationships/image\" Target=\"%2\"/>")
                             .arg(i + 1)
                             .arg(target)
                             .toUtf8();
    }
    relationships += "</Relationships>";
    const QString document
        = QStringLiteral(
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
              "<w:document "
              "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
              "xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
              "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
              "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
              "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
              "<w:body>")
        + body + QStringLiteral("</w:body></w:document>");
    const QString target = QDir(m_dir).filePath(name + QStringLiteral(".docx"));
    QFile::remove(target);
    if (!writeFile(parts + QStringLiteral("/[Content_Types].xml"), contentTypes)
        || !writeFile(parts + QStringLiteral("/_rels/.rels"), packageRelationships)
        || !writeFile(parts + QStringLiteral("/word/_rels/document.xml.rels"), relationships)
        || !writeFile(parts + QStringLiteral("/word/document.xml"), document.toUtf8())) {
        m_error = QStringLiteral("cannot write the parts of ") + name;
        return QString();
    }
    if (!run(QStringLiteral("zip"), {QStringLiteral("-qr"), target, QStringLiteral(".")}, parts))
        return QString();
    return target;
}

QString PaperMaker::picture(const QString &name, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 3));
    painter.drawLine(width / 10, height * 9 / 10, width / 2, height / 10);
    painter.drawLine(width / 2, height / 10, width * 9 / 10, height * 9 / 10);
    painter.drawLine(width / 10, height * 9 / 10, width * 9 / 10, height * 9 / 10);
    painter.end();
    const QString path = QDir(m_dir).filePath(name);
    return image.save(path) ? path : QString();
}

QString PaperMaker::drawing(int n, int width, int height)
{
    // sizes in EMU: 9525 to a pixel at 96 dpi
    return QStringLiteral(
        "<w:r><w:drawing><wp:inline><wp:extent cx=\"%1\" cy=\"%2\"/><wp:docPr id=\"%3\" "
        "name=\"Picture %3\"/><a:graphic><a:graphicData "
        "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:nvPicPr>"
        "<pic:cNvPr id=\"%3\" name=\"picture%3.png\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill>"
        "<a:blip r:embed=\"rIdImage%3\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
        "<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"%1\" cy=\"%2\"/></a:xfrm>"
        "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic></a:graphicData>"
        "</a:graphic></wp:inline></w:drawing></w:r>")
        .arg(qint64(width) * 9525)
        .arg(qint64(height) * 9525)
        .arg(n);
}
