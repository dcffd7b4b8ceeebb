// Renders an editor holding every kind of object and decoration to a PNG, with its picture and
// formula served by a scripted image server (the formula typeset by latex and dvipng).

#include "app/serverconfig.h"
#include "app/startup.h"
#include "editor/textedit.h"

#include "scriptedhttpresponder.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray pngOf(const QImage &image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QImage picture() {
    QImage image(160, 80, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 160, 80);
    gradient.setColorAt(0, QColor(27, 197, 245));
    gradient.setColorAt(1, QColor(249, 251, 252));
    painter.fillRect(image.rect(), gradient);
    painter.setBrush(QColor(74, 74, 74));
    painter.drawEllipse(QPointF(50, 40), 22, 22);
    painter.drawRect(90, 20, 44, 40);
    return image;
}

// the formula as the image server would render it, or an empty result without TeX
QByteArray typeset(const QString &tex) {
    QTemporaryDir dir;
    QFile source(dir.filePath(QStringLiteral("f.tex")));
    if (!source.open(QIODevice::WriteOnly))
        return QByteArray();
    source.write("\\documentclass{article}\\pagestyle{empty}\\begin{document}$" + tex.toUtf8() +
                 "$\\end{document}\n");
    source.close();
    QProcess latex;
    latex.setWorkingDirectory(dir.path());
    latex.start(QStringLiteral("latex"),
                {QStringLiteral("-interaction=batchmode"), QStringLiteral("f.tex")});
    if (!latex.waitForFinished(30000) || latex.exitCode() != 0)
        return QByteArray();
    QProcess dvipng;
    dvipng.setWorkingDirectory(dir.path());
    dvipng.start(QStringLiteral("dvipng"),
                 {QStringLiteral("-T"), QStringLiteral("tight"), QStringLiteral("-D"),
                  QStringLiteral("130"), QStringLiteral("-bg"), QStringLiteral("Transparent"),
                  QStringLiteral("-o"), QStringLiteral("f.png"), QStringLiteral("f.dvi")});
    if (!dvipng.waitForFinished(30000) || dvipng.exitCode() != 0)
        return QByteArray();
    QFile png(dir.filePath(QStringLiteral("f.png")));
    return png.open(QIODevice::ReadOnly) ? png.readAll() : QByteArray();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Startup::installFontSubstitutions();
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("shots/editor-decorations.png");
    const QString tex = QStringLiteral("\\frac{x^2+1}{2}");

    ScriptedHttpResponder server;
    if (!server.listen())
        return 1;
    server.respondRaw(QStringLiteral("/api/show/image"), pngOf(picture()), 200, "image/png");
    QByteArray formula = typeset(tex);
    if (formula.isEmpty())
        qWarning("latex or dvipng failed: the formula stays a placeholder");
    server.respondRaw(QStringLiteral("/api/generate/formula"), formula, 200, "image/png");
    IMG_SERVER = server.baseUrl();

    TextEdit edit;
    edit.setFont(QFont(QStringLiteral("楷体")));
    edit.resize(720, 300);
    edit.setCodeText(
        QStringLiteral(
            "<doc><c><b>粗体标题</b></c><n/><indent/>普通<b>粗体</b><i>斜体</i><b><i>粗斜</i></b>"
            "<u>下划线</u><w>波浪线</w><p>着重号</p><o>方框字</o><d>删除线</d><n/>"
            "H<f>2</f>O  x<h>2</h>  a<g><h>2</h><f>n</f></g>  填空<s3><c>答案</c></s3>"
            "空白<s2><c></c></s2><n/><a/>图片<v key=\"pic1\" width=\"120\" height=\"0\"/>"
            "公式<tex>") +
        tex.toHtmlEscaped() +
        QStringLiteral("</tex>。<n/>x &gt; 0 £é 𠀀😀 <b>粗</b> <i>斜</i></doc>"));
    edit.show();
    const bool arrived = QTest::qWaitFor(
        [&] {
            return server.count(QStringLiteral("/api/show/image")) == 1 &&
                   server.count(QStringLiteral("/api/generate/formula")) == 1;
        },
        10000);
    QTest::qWait(300);
    QDir().mkpath(QFileInfo(out).path());
    edit.grab().save(out);
    std::printf("%s%s\n", qPrintable(out), arrived ? "" : " (transfers incomplete)");
    std::printf("%s\n", qPrintable(edit.toCodeText()));
    return 0;
}
