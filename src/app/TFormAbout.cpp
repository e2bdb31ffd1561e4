#include "app/TFormAbout.h"

#include "app/ProgramIcon.h"
#include "resources/MessageTable.h"
#include "ui_TFormAbout.h"

#include <QFont>

TFormAbout::TFormAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TFormAbout>())
{
    ui->setupUi(this);
    setWindowTitle(MessageTable::caption(QStringLiteral("バージョン情報")));
    ui->ImageIcon->setPixmap(ProgramIcon().pixmap(64, 64));
    QFont name = ui->LabelProductName->font();
    name.setBold(true);
    name.setPointSizeF(name.pointSizeF() * 1.3);
    ui->LabelProductName->setFont(name);
    ui->LabelVersion->setText(MessageTable::caption(QStringLiteral("バージョン")) +
                              QLatin1Char(' ') + version());
    connect(ui->ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
}

TFormAbout::~TFormAbout() = default;

QString TFormAbout::version()
{
    return QStringLiteral(TITLEDECK_VERSION);
}
