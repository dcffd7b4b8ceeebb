#pragma once

#include "model/exerciseinfo.h"

#include <QDialog>

namespace Ui {
class ExercisePreviewDialog;
}

// Shows the exercise being composed as one HTML page, the way the bank will show it.
class ExercisePreviewDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ExercisePreviewDialog(QWidget *parent = nullptr);
    ~ExercisePreviewDialog() override;

    void setExerciseInfo(const ExerciseInfo &exercise);
    void showPreview();
    static QString previewHtml(const ExerciseInfo &exercise);

private:
    Ui::ExercisePreviewDialog *ui;
    ExerciseInfo m_exercise;
};
