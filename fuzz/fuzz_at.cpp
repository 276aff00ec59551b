// SPDX-License-Identifier: LGPL-2.1-or-later
// The simulator's AT port against a terminal made of the fuzzer's bytes:
// the input is cut into reads (each a length octet and its bytes, the modem
// answering between them), the modem is the simulator's whole modelled
// modem, and the terminal may vanish before the modem has answered. Nothing
// may crash, hang, leak or trip a sanitizer.

#include "atsession.h"
#include "modem.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QtDBus/QDBusConnection>

namespace {

// Lets the modem answer: a bounded number of rounds of the event loop.
void answer()
{
    for (int round = 0; round < 8; round++)
        QCoreApplication::processEvents();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_at";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    // No bus: the modem's signals stay inside, as with --at-only.
    Simulator sim(QDBusConnection(QStringLiteral("fuzz_at")), true);
    sim.setServesBus(false);
    ModemEvents events;
    installModem(&sim, &events);
    auto session = std::make_unique<AtSession>(&sim, &events);
    qint64 written = 0;
    QObject::connect(session.get(), &AtSession::output, [&written](const QByteArray &bytes) { written += bytes.size(); });

    size_t at = 0;
    bool vanish = size > 0 && data[0] & 1;
    while (at < size) {
        const size_t wanted = data[at++];
        const size_t length = qMin(wanted, size - at);
        session->feed(QByteArray(reinterpret_cast<const char *>(data + at), int(length)));
        at += length;
        answer();
    }
    // A terminal that vanishes with its command running, or one that waits.
    if (vanish)
        session.reset();
    answer();
    session.reset();
    answer();
    return written < 0;
}
