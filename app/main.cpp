// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StartupCheck.h"
#include "app/SubMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    StartupOptions options;
    const bool check = StartupCheck::Begin(options);
    if (!Main(options)) return 0;
    if (check) StartupCheck::Finish();
    return app.exec();
}
