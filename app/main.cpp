// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupCheck.h"
#include "app/SubMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool check = StartupCheck::Begin();
    if (!Main()) return 0;
    if (check) StartupCheck::Finish();
    return app.exec();
}
