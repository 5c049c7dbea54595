// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SubMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!Main()) return 0;
    return app.exec();
}
