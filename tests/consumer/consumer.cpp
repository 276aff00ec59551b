// SPDX-License-Identifier: LGPL-2.1-or-later
#include <ondrix-qt/systemcontrol.h>

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Ondrix::SystemControl control;
    std::printf("consumer: valid=%d power=%d\n", control.isValid(), control.power());
    return 0;
}
