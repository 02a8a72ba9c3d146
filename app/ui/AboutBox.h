#pragma once
// The about box: program icon, product name, version and an OK button.

#include <QDialog>

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;
};
