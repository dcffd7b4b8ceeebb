#pragma once

#include "editor/imageinfo.h"

#include <QDomNode>
#include <QHash>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFrame>

class QDomDocument;
class QDomElement;
class QMenu;
class QNetworkAccessManager;
class QNetworkReply;
class QTextTable;
class TextObject;
struct GumboInternalNode;

// The editing area of every rich-text field. Every visible character is an object that carries
// its own character and style (see textobjectproperty.h) and is painted by TextObject.
class TextEdit : public QTextEdit
{
    Q_OBJECT

public:
    explicit TextEdit(QWidget *parent = nullptr);
    ~TextEdit() override;

    // Format commands of the toolbar; each acts on a selection only.
    void toggleBold();
    void toggleItalic();
    void toggleStrikeOut();
    void toggleUnderline();
    void toggleWaveUnderline();
    void toggleUnderPoint();
    void toggleRectangle();
    void toggleSubscript();
    void toggleSuperscript();
    void alignLeft();
    void alignCenter();
    void alignRight();
    void undo();
    void redo();

    // Writer steps of the code text conversion.
    QDomElement convertObject(
        const QTextCharFormat &format, QDomDocument &doc, QDomElement current);
    void convertFrameItem(QTextFrame::iterator item, QDomDocument &doc, QDomElement parent);

    // The standard context menu with Chinese texts and cut/copy/paste routed to this edit.
    QMenu *createContextMenu(const QPoint &position);

    // The code text of a tree whose root is doc: XML without added whitespace, every "<", ">"
    // and "&" of the text escaped.
    static QString serializeCodeText(const QDomElement &root);

    // Requests of the image server.
    static QUrl imageUrl(const QString &fileKey);
    static QUrl formulaUrl(const QString &tex);
    static QUrl uploadUrl();
    // Sends a picture to the image server as a picture chosen from a file is sent.
    static QNetworkReply *postPicture(QNetworkAccessManager *manager, const QImage &image);

    // Where a code text reader stops descending, so hostile markup cannot exhaust the stack.
    static const int maxNestingDepth = 512;
    // Widest picture the editor takes.
    static const int maxImageWidth = 850;
    // Largest pasted HTML that is converted, in bytes.
    static const int maxHtmlBytes = 8 * 1024 * 1024;
    // Most elements pasted HTML may leave open at once; deeper HTML is not converted.
    static const int maxHtmlNesting = 4096;

public slots:
    void setPlaceholderText(const QString &text);
    void setPlainText(const QString &text);
    void cut();
    void copy();
    void paste();
    void insertHtml(const QString &text);
    void insertPlainText(const QString &text);
    void insertImage(const QString &imageKey, int width, int height);
    void insertImage(const QImage &image, int width, int height);
    void uploadImage(const QImage &image, int width, int height);
    void downloadImage(const QString &url, const ImageInfo &imageInfo);
    void insertSpace(int length, const QString &text);
    void insertSpace(int length, const QString &text, QTextCharFormat textCharFormat);
    void insertIndent();
    void insertTex(const QString &tex);
    void insertSuperSubscript(const QString &super, const QString &sub);
    void insertQuestionNum();
    void insertTable(int row, int col);
    void insertCodeText(const QString &text);
    QString toCodeText();
    void setCodeText(const QString &text);
    bool isCodeText(const QString &text);
    QString clearText(const QString &text);
    void converCode(QTextCursor cursor, QTextBlockFormat textBlockFormat,
        QTextCharFormat textCharFormat, const QDomNode &node);
    void converHtml(QTextCursor cursor, QTextCharFormat textCharFormat, GumboInternalNode *node);
    void replyUploadFinished(QNetworkReply *reply);
    void replyDownloadFinished(QNetworkReply *reply);
    bool canInput(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    bool readCodeText(const QString &text);
    static bool producesText(const QKeyEvent *event);
    void insertPastedImage(const QImage &image);
    void toggleProperty(int property, const QVariant &onValue);
    void alignSelection(Qt::Alignment alignment, Qt::Alignment toggledFrom);
    void insertPlaceholder(const QUrl &url, ImageInfo info);
    void insertPlaceholderImage(ImageInfo &info);
    QList<int> placeholderPositions(const QString &name) const;
    void removePlaceholder(const QString &name);
    void mergeIntoPlaceholder(const QString &name, const QTextCharFormat &format);
    void insertForeignImage(const QUrl &url);
    static QSize pastedImageSize(const QSize &size);
    void insertObject(QTextCursor &cursor, const QTextCharFormat &format);
    void insertOneObject(QTextCharFormat format);
    void converCodeAt(QTextCursor cursor, QTextBlockFormat bf, QTextCharFormat f,
        const QDomNode &node, int depth);
    void converHtmlAt(QTextCursor cursor, QTextCharFormat f, GumboInternalNode *node, int depth);
    void enterTableCell(QTextCursor &cursor);
    void resetTableState();
    void showWarning(const QString &text);

    QNetworkAccessManager *uploadManager;
    QNetworkAccessManager *downloadManager;
    QHash<QNetworkReply *, ImageInfo> uploadImageInfos;
    QHash<QNetworkReply *, ImageInfo> downloadImageInfos;
    QTextTable *currentTable = nullptr;
    int currentRow = -1;
    int currentColumn = -1;
    QString savedPlaceholderText;
    // placeholder of the pasted picture whose upload is being sent
    QString uploadPlaceholder;
    TextObject *textObject;
};
