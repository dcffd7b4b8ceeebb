#pragma once

#include <QString>

class QWidget;

// The small standard boxes the program asks and warns with: Chinese button texts, dialog
// flags with a close button only.
class Prompts
{
public:
    // A text input dialog; false when it was cancelled or closed.
    static bool askText(QWidget *parent, const QString &title, const QString &label,
        const QString &initial, QString *answer);
    // A warning box with the single button "确定".
    static void warning(
        QWidget *parent, const QString &text, const QString &title = QStringLiteral("警告"));
    // An information box with the single button "确定".
    static void information(QWidget *parent, const QString &title, const QString &text);
};
