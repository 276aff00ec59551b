// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef CONTRACT_QUITSIGNALS_H
#define CONTRACT_QUITSIGNALS_H

class QCoreApplication;

// Ends the event loop cleanly on SIGTERM and SIGINT, as a daemon stops.
void quitOnSignals(QCoreApplication &app);

#endif
