// SPDX-License-Identifier: LGPL-2.1-or-later
#include "common.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

bool runFor(int ms, std::function<void(std::function<void()>)> start)
{
    QEventLoop loop;
    bool finished = false;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (start) {
        QTimer::singleShot(0, &loop, [&] {
            start([&loop, &finished] {
                finished = true;
                loop.quit();
            });
        });
    }
    loop.exec();
    return finished;
}

int timedOut(const char *what, int ms)
{
    err() << "ondrix: no answer " << what << " within " << ms / 1000 << " s\n";
    return 1;
}

QString readSecret(const QString &prompt)
{
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        err() << prompt << Qt::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char buffer[128] = {};
    const bool got = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err() << '\n' << Qt::flush;
    }
    QString secret = got ? QString::fromLocal8Bit(buffer).trimmed() : QString();
    // The buffer held the secret: it does not outlive the call.
    volatile char *wipe = buffer;
    for (std::size_t i = 0; i < sizeof buffer; i++)
        wipe[i] = 0;
    return secret;
}
