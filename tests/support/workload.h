// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef WORKLOAD_H
#define WORKLOAD_H

// What the hostile tests do to the library: objects of every public class
// made, used and dropped, operations started on long-lived ones, and every
// completion counted, so that a test can demand that each operation started
// completed exactly once. The choices come from a random generator.

#include <ondrix-qt/networkregistration.h>
#include <ondrix-qt/networktime.h>
#include <ondrix-qt/simidentity.h>
#include <ondrix-qt/simlock.h>
#include <ondrix-qt/simphonebook.h>
#include <ondrix-qt/simsecurity.h>
#include <ondrix-qt/simstatus.h>
#include <ondrix-qt/supplementaryservices.h>

#include "signalrecorder.h"

#include <QRandomGenerator>

#include <memory>
#include <vector>

class Workload
{
public:
    explicit Workload(QRandomGenerator &random);
    ~Workload();

    // One round: short-lived objects of every class, operations on the
    // long-lived ones, and a registration dropped with operations in flight
    // after up to `waitMs` of the event loop.
    void round(int number, int waitMs = 40);
    // Every operation started has completed, and none twice.
    bool settled() const;
    // Completions and starts, by kind.
    QString text() const;

private:
    // Operations of the registrations, started and completed, by kind.
    enum Kind { Scan, Query, CancelQuery, Selection, CancelSelection, Kinds };
    void follow(Ondrix::NetworkRegistration *reg);
    void operate(Ondrix::NetworkRegistration &reg, bool accounted);
    // The classes whose every operation ends in one "...Complete(d)" signal
    // (or, for USSD, ussdError).
    void operateCard();
    void supplementary();
    int cardCompleted() const;

    QRandomGenerator &random;
    int started[Kinds] = {};
    int completed[Kinds] = {};
    std::vector<std::unique_ptr<Ondrix::NetworkRegistration>> kept;

    Ondrix::SIM::SIMStatus status;
    Ondrix::SIM::SIMSecurity security;
    Ondrix::SIM::SIMIdentity identity;
    Ondrix::SIMPhonebook phonebook;
    Ondrix::SIMLock lock;
    Ondrix::SupplementaryServices ss;
    Ondrix::NetworkTime time;
    SignalRecorder recorders[7] = {SignalRecorder(&status), SignalRecorder(&security), SignalRecorder(&identity),
                                   SignalRecorder(&phonebook), SignalRecorder(&lock), SignalRecorder(&ss),
                                   SignalRecorder(&time)};
    int cardStarted = 0;
};

#endif
