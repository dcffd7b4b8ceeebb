#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The template generator is run by the build, but a school that builds the server by hand
// runs it too: wrong arguments or a missing font must stop it with a message, never leave
// half a template file behind.
class TestTemplateGenerator : public QObject
{
    Q_OBJECT

private slots:
    void refusesWrongArguments_data();
    void refusesWrongArguments();
    void namesTheMissingFont_data();
    void namesTheMissingFont();
    void writesTemplatesFromTheFonts();

private:
    struct Run {
        int status = -1;
        QString errors;
    };
    static Run generate(const QStringList &arguments)
    {
        QProcess p;
        p.start(QStringLiteral(TEMPLATE_GENERATOR), arguments);
        if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
            return {};
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
    }
};

void TestTemplateGenerator::refusesWrongArguments_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("nothing") << 0;
    QTest::newRow("font folder only") << 1;
    QTest::newRow("one too many") << 3;
}

void TestTemplateGenerator::refusesWrongArguments()
{
    QFETCH(int, count);
    QTemporaryDir dir;
    const QString out = dir.filePath("templates.cpp");
    const QStringList all {QStringLiteral(HERSHEY_DIR), out, dir.filePath("more.cpp")};
    const Run run = generate(all.mid(0, count));
    QCOMPARE(run.status, 2);
    QVERIFY2(
        run.errors.contains("usage:") && run.errors.contains("<hershey font dir> <output.cpp>"),
        qPrintable(run.errors));
    QVERIFY(!QFile::exists(out));
}

void TestTemplateGenerator::namesTheMissingFont_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("missing");
    QTest::newRow("empty folder") << QStringList {} << "futural.jhf";
    QTest::newRow("no script font")
        << QStringList {"futural.jhf", "timesr.jhf", "greek.jhf"} << "scripts.jhf";
    QTest::newRow("no Greek font")
        << QStringList {"futural.jhf", "scripts.jhf", "timesr.jhf"} << "greek.jhf";
}

void TestTemplateGenerator::namesTheMissingFont()
{
    QFETCH(QStringList, present);
    QFETCH(QString, missing);
    QTemporaryDir fonts;
    for (const QString &name : present)
        QVERIFY(QFile::copy(QStringLiteral(HERSHEY_DIR "/") + name, fonts.filePath(name)));
    QTemporaryDir dir;
    const QString out = dir.filePath("templates.cpp");
    const Run run = generate({fonts.path(), out});
    QCOMPARE(run.status, 1);
    QVERIFY2(
        run.errors.contains(QString("cannot read Hershey font %1/%2 (package hershey-fonts-data)")
                                .arg(fonts.path(), missing)),
        qPrintable(run.errors));
    QVERIFY(!QFile::exists(out));
}

void TestTemplateGenerator::writesTemplatesFromTheFonts()
{
    QTemporaryDir dir;
    const QString out = dir.filePath("templates.cpp");
    const Run run = generate({QStringLiteral(HERSHEY_DIR), out});
    QCOMPARE(run.status, 0);
    QVERIFY(run.errors.isEmpty());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    // Every symbol the recogniser names is there, its backslash escaped for C++.
    for (const char *label : {"\"0\"", "\"9\"", "\"x\"", "\"+\"", "\"<\"", "\"\\\\times\"",
             "\"\\\\sqrt\"", "\"\\\\beta\"", "\"\\\\pi\"", "\"\\\\theta\""})
        QVERIFY2(text.contains(label), label);
    QVERIFY(text.contains("templateRecordCount"));
}

QTEST_APPLESS_MAIN(TestTemplateGenerator)
#include "tst_templategenerator.moc"
