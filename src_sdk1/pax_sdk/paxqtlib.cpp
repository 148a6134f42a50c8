#include "paxqtlib.h"

PaxQtLib* PaxQtLib::s_instance = nullptr;

PaxQtLib* PaxQtLib::getInstance()
{
    if (!s_instance) {
        // The pointer is set before the start waits for the font, so a call from the events
        // processed meanwhile finds this object instead of building a second SDK.
        s_instance = new PaxQtLib(nullptr);
        PaxLibPrivate* d = new PaxLibPrivate(s_instance);
        s_instance->m_d = d;
    }
    return s_instance;
}

void PaxQtLib::releaseInstance()
{
    PaxQtLib* instance = s_instance;
    if (!instance) {
        return;
    }
    s_instance = nullptr;
    delete instance;
}

PaxQtLib::PaxQtLib(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<_PaxRecordInfoS>("PaxRecordInfoS");
    qRegisterMetaType<_PaxChangeNotifyE>("PaxChangeNotifyE");
}

PaxQtLib::~PaxQtLib()
{
    PaxLibPrivate* d = m_d;
    m_d = nullptr;
    delete d;
}
