// ondrix: the modem seen through libondrix-qt, from the command line.

#include <ondrix-qt/systemcontrol.h>

#include <QCoreApplication>
#include <QMetaEnum>
#include <QTextStream>
#include <QTimer>

#include <functional>

using namespace Ondrix;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

template <typename Enum>
QString enumName(int value)
{
    const char *key = QMetaEnum::fromType<Enum>().valueToKey(value);
    return key ? QString::fromLatin1(key) : QString::number(value);
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

void line(const QString &label, const QString &value)
{
    out() << QStringLiteral("%1 %2").arg(label + QLatin1Char(':'), -12).arg(value) << '\n'
          << Qt::flush;
}

// Runs the event loop for at most `ms` milliseconds, or until `done` is called.
void runFor(int ms, std::function<void(std::function<void()>)> start = {})
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (start)
        start([&loop] { loop.quit(); });
    loop.exec();
}

void followSystemControl(SystemControl &control)
{
    QObject::connect(&control, &SystemControl::powerChanged,
                     [](bool on) { line(QStringLiteral("power"), onOff(on)); });
    QObject::connect(&control, &SystemControl::statusChanged, [](int status) {
        line(QStringLiteral("status"), enumName<SystemControl::Status>(status));
    });
    QObject::connect(&control, &SystemControl::activityChanged, [](int activity) {
        line(QStringLiteral("activity"), enumName<SystemControl::Activity>(activity));
    });
}

int status(const QStringList &)
{
    SystemControl control;
    line(QStringLiteral("daemon"), control.isValid() ? QStringLiteral("present")
                                                     : QStringLiteral("absent"));
    line(QStringLiteral("power"), onOff(control.power()));
    line(QStringLiteral("status"), enumName<SystemControl::Status>(control.status()));
    line(QStringLiteral("activity"), enumName<SystemControl::Activity>(control.activity()));
    return 0;
}

int power(const QStringList &args)
{
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off"))) {
        err() << "usage: ondrix power on|off\n";
        return 2;
    }
    const bool on = args[0] == QLatin1String("on");
    SystemControl control;
    if (control.power() == on) {
        out() << "the radio is already " << onOff(on) << '\n';
        return 0;
    }
    followSystemControl(control);
    // The modem acknowledges the request, then reports the new radio state and
    // the service level it reaches. A refused request repeats the old value.
    runFor(5000, [&](std::function<void()> done) {
        QObject::connect(&control, &SystemControl::powerChanged, [on, done](bool value) {
            if (value != on)
                done();
        });
        QObject::connect(&control, &SystemControl::statusChanged, [&control, on, done] {
            if (control.power() == on)
                done();
        });
        control.setPower(on);
    });
    if (control.power() != on) {
        err() << "ondrix: the radio did not switch " << onOff(on) << '\n';
        return 1;
    }
    return 0;
}

int monitor(const QStringList &args)
{
    int seconds = -1;
    if (args.size() == 2 && args[0] == QLatin1String("--seconds"))
        seconds = args[1].toInt();
    else if (!args.isEmpty()) {
        err() << "usage: ondrix monitor [--seconds N]\n";
        return 2;
    }
    SystemControl control;
    followSystemControl(control);
    if (seconds >= 0)
        QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    return qApp->exec();
}

struct Command {
    const char *name;
    const char *help;
    int (*run)(const QStringList &args);
};

const Command commands[] = {
    {"status", "power, service level and radio activity", status},
    {"power", "on|off   switch the radio and show what follows", power},
    {"monitor", "[--seconds N]   print every change as it happens", monitor},
};

int usage()
{
    err() << "usage: ondrix COMMAND [ARGS]\n";
    for (const Command &command : commands)
        err() << "  " << command.name << "  " << command.help << '\n';
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    for (const Command &command : commands) {
        if (args.first() == QLatin1String(command.name))
            return command.run(args.mid(1));
    }
    return usage();
}
