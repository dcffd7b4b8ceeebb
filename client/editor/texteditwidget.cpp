#include "editor/texteditwidget.h"

#include <QDomDocument>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TextEditWidget::TextEditWidget(QWidget *parent)
    : QWidget(parent)
    , m_toolbar(new QHBoxLayout)
    , m_edit(new QPlainTextEdit(this))
{
    auto layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_toolbar->addStretch();
    layout->addLayout(m_toolbar);
    layout->addWidget(m_edit);
    m_edit->setMinimumHeight(30);
    connect(m_edit, &QPlainTextEdit::textChanged, this, [this] {
        if (m_filling)
            return;
        const QString text = m_edit->toPlainText();
        m_codeText = text.isEmpty()
            ? QString()
            : QStringLiteral("<doc>") + text.toHtmlEscaped() + QStringLiteral("</doc>");
    });
}

QString TextEditWidget::toCodeText() const
{
    return m_codeText;
}

void TextEditWidget::setCodeText(const QString &text)
{
    m_filling = true;
    m_codeText = text;
    QDomDocument document;
    m_edit->setPlainText(document.setContent(text) ? document.documentElement().text() : text);
    m_filling = false;
}

void TextEditWidget::setMinimumEditorHeight(int height)
{
    m_edit->setMinimumHeight(height);
}

void TextEditWidget::addToolbarWidget(QWidget *widget)
{
    m_toolbar->addWidget(widget);
}
