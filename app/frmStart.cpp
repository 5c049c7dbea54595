// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/frmStart.h"

#include "base/Look.h"

frmStart::frmStart() : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmStart"));
    setWindowTitle(QStringLiteral("Загрузка игры"));
    setFont(Look::font(8.25, true));
    Look::fixClientSize(this, 6000, 525);
    Label1 = new QLabel(QStringLiteral("ПОДОЖДИТЕ  ПОЖАЛУЙСТА!"), this);
    Label1->setFont(Look::font(18, true));
    Label1->setGeometry(Look::rect(60, 60, 5850, 405));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAccessibleName(Label1->text());
    Look::centre(this, nullptr);
}
