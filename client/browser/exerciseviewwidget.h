#pragma once

#include "model/exercisesummary.h"

#include <QWidget>

namespace Ui {
class ExerciseViewWidget;
}

// One exercise of the list page as a card: its HTML in a web view that grows with the
// content, a link that shows or hides the answers and analysis, and edit, move and remove
// buttons that the main window handles.
class ExerciseViewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ExerciseViewWidget(QWidget *parent = nullptr);
    ~ExerciseViewWidget() override;

    void setExercise(const ExerciseSummary &summary);
    const ExerciseSummary &summary() const { return exercise; }
    bool isChecked() const;
    void setChecked(bool checked);
    int exerciseId() const { return exercise.exerciseId; }
    int groupId() const { return exercise.groupId; }
    bool isExpanded() const { return expanded; }
    // The web view height measured in the collapsed state, 0 before the first measurement.
    int collapsedContentHeight() const { return collapsedHeight; }
    // The document last handed to the web view.
    QString html() const { return renderedHtml; }

    static QString cardHtml(const ExerciseSummary &summary, bool expanded);

signals:
    void removeExercise(int id);
    void moveExercise(int id, int oldGroupId);
    void modifyExercise(int id);

private slots:
    void on_removePushButton_clicked();
    void on_movePushButton_clicked();
    void on_modifyPushButton_clicked();
    void on_webView_loadFinished(bool ok);
    void on_showLabel_linkActivated(const QString &link);
    void slot_resizeWebView(const QSize &size);
    void slot_changeWebViewHeight();
    void slot_changeButtonEnabled();
    void slot_Reload();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void disableForAWhile(QObject *button);

    Ui::ExerciseViewWidget *ui;
    ExerciseSummary exercise;
    QString renderedHtml;
    bool expanded = false;
    bool shown = false;
    bool loaded = false; // the collapsed page has its pictures, so its height is final
    int collapsedHeight = 0;
};
