#pragma once

#include <QString>
#include <QStringList>

// Writes Word papers for the import's tests and benchmark: from Markdown with TeX math through
// pandoc, or with a word/document.xml written by hand (Word's own OMML equations) and zipped.
class PaperMaker
{
public:
    explicit PaperMaker(const QString &dir);

    // Pictures are found relative to the folder. Returns the path, "" on failure (see error).
    QString fromMarkdown(const QString &name, const QString &markdown);
    // body: the children of w:body; the prefixes w, m, r, wp, a and pic are declared.
    // pictures: files put under word/media and related as rIdImage1, rIdImage2…
    QString fromBody(
        const QString &name, const QString &body, const QStringList &pictures = QStringList());
    // A PNG of the given size in the folder.
    QString picture(const QString &name, int width, int height);
    // A w:drawing for the n-th picture given to fromBody, shown at the given size in pixels.
    static QString drawing(int n, int width, int height);

    QString error() const { return m_error; }

private:
    bool run(const QString &program, const QStringList &arguments, const QString &workingDir);

    QString m_dir;
    QString m_error;
};
