// The band threads' default count and Qt's global pool follow the processors the thread may run on, not
// the machine's.

#include "Binarize.h"
#include "paxplatform.h"

#include <QThreadPool>
#include <QtTest>

#include <sched.h>

#include <algorithm>

using namespace imageproc;

namespace {

QList<int> allowedCpus(const cpu_set_t& set)
{
    QList<int> cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            cpus << cpu;
    }
    return cpus;
}

} // namespace

class TestBandThreads : public QObject
{
    Q_OBJECT

    cpu_set_t m_original;

private slots:
    void initTestCase() { QCOMPARE(sched_getaffinity(0, sizeof(m_original), &m_original), 0); }

    void cleanup() { QCOMPARE(sched_setaffinity(0, sizeof(m_original), &m_original), 0); }

    void countFollowsAffinity_data()
    {
        QTest::addColumn<int>("cores");
        QTest::addColumn<int>("expected");
        QTest::newRow("one core") << 1 << 1;
        QTest::newRow("two cores") << 2 << 2;
        QTest::newRow("three cores") << 3 << 3;
        QTest::newRow("more cores than the pool") << 5 << 4;
    }

    void countFollowsAffinity()
    {
        QFETCH(int, cores);
        QFETCH(int, expected);
        const QList<int> cpus = allowedCpus(m_original);
        if (cpus.size() < cores)
            QSKIP("this machine lets the test use fewer processors than the row needs");
        cpu_set_t set;
        CPU_ZERO(&set);
        for (int i = 0; i < cores; ++i)
            CPU_SET(cpus.at(i), &set);
        QCOMPARE(sched_setaffinity(0, sizeof(set), &set), 0);
        QCOMPARE(detail::bandThreads(), expected);
        // Qt's pool, over which Qt splits large image conversions, gets one thread per processor
        // allowed, not the machine's count.
        pax_platform::fitGlobalThreadPool();
        QCOMPARE(QThreadPool::globalInstance()->maxThreadCount(), cores);
    }

    // The mask is read for each picture: narrowing it after a count was taken lowers the next one.
    void narrowedMaskLowersTheCount()
    {
        const QList<int> cpus = allowedCpus(m_original);
        if (cpus.size() < 2)
            QSKIP("this machine lets the test use one processor only");
        QCOMPARE(detail::bandThreads(), std::min(4, int(cpus.size())));
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpus.last(), &one);
        QCOMPARE(sched_setaffinity(0, sizeof(one), &one), 0);
        QCOMPARE(detail::bandThreads(), 1);
    }

    // A count chosen by setBandThreads holds whatever the mask says; the result does not change.
    void chosenCountHoldsAndResultStays()
    {
        QImage page(1200, 900, QImage::Format_Grayscale8);
        for (int y = 0; y < page.height(); ++y) {
            uchar* line = page.scanLine(y);
            for (int x = 0; x < page.width(); ++x)
                line[x] = uchar(((x / 7 + y / 5) % 9 == 0) ? 40 : 200 - (x + y) % 50);
        }
        const QImage automatic = binarizeWolf(page, QSize(51, 51), 50, 254).toQImage();
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(allowedCpus(m_original).first(), &one);
        QCOMPARE(sched_setaffinity(0, sizeof(one), &one), 0);
        detail::setBandThreads(3);
        QCOMPARE(detail::bandThreads(), 3);
        const QImage chosen = binarizeWolf(page, QSize(51, 51), 50, 254).toQImage();
        QCOMPARE(chosen, automatic);
    }
};

QTEST_GUILESS_MAIN(TestBandThreads)
#include "tst_bandthreads.moc"
