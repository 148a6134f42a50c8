#include "paxthread.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QMutex>

namespace {
QMutex g_fontMutex;
QString g_family;
PaxThread* g_loader = nullptr;

QString family()
{
    QMutexLocker lock(&g_fontMutex);
    return g_family;
}

bool loading()
{
    QMutexLocker lock(&g_fontMutex);
    return g_loader != nullptr;
}
} // namespace

PaxThread::PaxThread(QObject* parent)
    : QThread(parent)
{
    connect(this, &QThread::finished, this, &PaxThread::slotFinished, Qt::QueuedConnection);
}

PaxThread::~PaxThread()
{
    wait();
}

QString PaxThread::getFontFamily()
{
    const QString known = family();
    if (!known.isEmpty())
        return known;
    loadFont();
    while (loading()) {
        QThread::sleep(1);
        QCoreApplication::processEvents();
    }
    return family();
}

void PaxThread::loadFont()
{
    QMutexLocker lock(&g_fontMutex);
    if (g_loader || !g_family.isEmpty())
        return;
    g_loader = new PaxThread(nullptr);
    g_loader->_loadFont();
}

void PaxThread::_loadFont()
{
    m_command = 1;
    start(QThread::InheritPriority);
}

void PaxThread::run()
{
    if (m_command != 1)
        return;
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/res/msyh.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty())
        m_family = families.first();
}

void PaxThread::slotFinished()
{
    if (m_command == 1) {
        QMutexLocker lock(&g_fontMutex);
        g_family = m_family;
        if (g_loader == this)
            g_loader = nullptr;
    }
    deleteLater();
}
