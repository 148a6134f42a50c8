#include "paxscreenqtlib.h"

#include "paxscreenlibprivate.h"

PaxScreenQtLib* PaxScreenQtLib::s_instance = nullptr;

PaxScreenQtLib* PaxScreenQtLib::getInstance()
{
    if (!s_instance)
        s_instance = new PaxScreenQtLib;
    return s_instance;
}

void PaxScreenQtLib::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

PaxScreenQtLib::PaxScreenQtLib()
{
    d = new PaxScreenLibPrivate(this);
}

PaxScreenQtLib::~PaxScreenQtLib()
{
    delete d;
    d = nullptr;
}

void PaxScreenQtLib::setSavePath(QString path) { PaxScreenLibPrivate::setSavePath(path); }
bool PaxScreenQtLib::setLogFile(QString path) { return PaxScreenLibPrivate::setLogFile(path); }

#define PAX_SCREEN_DEFINE_FORWARD(Ret, name, params, args) \
    Ret PaxScreenQtLib::name params { return d->name args; }
PAX_SCREEN_FORWARDS(PAX_SCREEN_DEFINE_FORWARD)
#undef PAX_SCREEN_DEFINE_FORWARD
