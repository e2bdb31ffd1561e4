#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TFormAbout;
}

// The About box: the program's icon, its name and the version it was built as.
// OK, Enter and Escape close it.
class TFormAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TFormAbout(QWidget *parent = nullptr);
    ~TFormAbout() override;

    // The version this program was built as.
    static QString version();

private:
    std::unique_ptr<Ui::TFormAbout> ui;
};
