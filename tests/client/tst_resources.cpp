#include <QIcon>
#include <QImage>
#include <QTextDocument>
#include <QtTest>

class tst_Resources : public QObject {
    Q_OBJECT

public:
    // A scaled screen, as on a high-density display, where Qt looks for the "@2x" files.
    static void initMain() {
        qputenv("QT_SCALE_FACTOR", "2");
        QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    }

private slots:
    void imageLoadsAtItsSize_data();
    void imageLoadsAtItsSize();
    void imageHasTransparentBackgroundAndVisibleInk_data();
    void imageHasTransparentBackgroundAndVisibleInk();
    void iconPicksUpDoubleSizeVariant();
    void logoShowsInRichText();
    void aboutPageStaysAtRoot();
};

namespace {

struct Listed {
    QString name;
    QSize size;
};

QList<Listed> listedImages() {
    QList<Listed> list = {{QStringLiteral("logo.png"), {200, 60}},
                          {QStringLiteral("add.png"), {20, 20}},
                          {QStringLiteral("remove.png"), {20, 20}},
                          {QStringLiteral("download.png"), {20, 20}},
                          {QStringLiteral("rating-star-full.png"), {20, 20}},
                          {QStringLiteral("rating-star-empty.png"), {20, 20}}};
    const QStringList roles =
        QStringLiteral("bold italic underline waveunderline underpoint strikeout "
                       "superscript subscript supersubscript left center right indent "
                       "number list image omega tex table rectangle undo redo clean "
                       "edit close star")
            .split(QLatin1Char(' '));
    for (const QString &role : roles)
        list.append({QStringLiteral("icon-") + role + QStringLiteral(".png"), {20, 20}});
    return list;
}

// Each listed image and its double-size variant, which Qt picks up by the "@2x" name.
void addImageRows() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const Listed &image : listedImages()) {
        QString twice = image.name;
        twice.replace(QStringLiteral(".png"), QStringLiteral("@2x.png"));
        QTest::newRow(image.name.toLatin1().constData())
            << QStringLiteral(":/images/") + image.name << image.size;
        QTest::newRow(twice.toLatin1().constData())
            << QStringLiteral(":/images/") + twice << image.size * 2;
    }
}

} // namespace

void tst_Resources::imageLoadsAtItsSize_data() {
    addImageRows();
}

void tst_Resources::imageLoadsAtItsSize() {
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
}

// Every image sits on a coloured surface (blue band, selected blue row, grey dialog, white
// toolbar), so its corners must let that show through and something must be drawn.
void tst_Resources::imageHasTransparentBackgroundAndVisibleInk_data() {
    addImageRows();
}

void tst_Resources::imageHasTransparentBackgroundAndVisibleInk() {
    QFETCH(QString, path);
    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(image.hasAlphaChannel());
    const int w = image.width() - 1, h = image.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 200)
                ++opaque;
    // Even the thinnest icon (two 2 px strokes) covers more than a fortieth of its area.
    QVERIFY2(opaque * 40 >= image.width() * image.height(), qPrintable(path));
}

void tst_Resources::iconPicksUpDoubleSizeVariant() {
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    const QIcon icon(QStringLiteral(":/images/icon-bold.png"));
    const QList<QSize> sizes = icon.availableSizes();
    QVERIFY(sizes.contains(QSize(20, 20)));
    QVERIFY(sizes.contains(QSize(40, 40)));
    const QPixmap sharp = icon.pixmap(QSize(20, 20));
    QCOMPARE(sharp.size(), QSize(40, 40));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
}

void tst_Resources::logoShowsInRichText() {
    QTextDocument document;
    document.setDocumentMargin(0);
    document.setHtml(QStringLiteral("<img src=\":/images/logo.png\"/>"));
    const QSizeF size = document.size();
    QVERIFY2(size.width() >= 200 && size.height() >= 60,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
}

void tst_Resources::aboutPageStaysAtRoot() {
    QFile about(QStringLiteral(":/about.html"));
    QVERIFY(about.open(QIODevice::ReadOnly));
    QVERIFY(!about.readAll().isEmpty());
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
