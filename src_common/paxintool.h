#pragma once
// The device layer's log (pax.log beside the program) and a string helper.
// The line form (PAX_LOG_ERROR / PAX_LOG_DEBUG) and the process's handler live in paxlog.h.

#include "paxlog.h"

#include <QString>
#include <QStringList>

// The first call (and the first after pax_sdk_destroy) registers the device layer's destination:
// every message of the device layer, and of components without a destination of their own, is
// appended as "[hh:mm:ss] text" to pax.log beside the program (beside this library while no
// application object exists) and that line is echoed to standard output. Any thread.
void pax_sdk_init();
void pax_sdk_destroy();

bool pax_strContainList(QString& text, QStringList& list, QString& match, bool upperFallback);
