// The shared frame block: writer and reader rules, bounds, stale segments, and the
// semaphore between two processes. The test program doubles as the second process
// ("--child <mode> <key folder> ...").

#include "mainframeblock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

// Ceiling of every wait: only a hang reaches it.
constexpr int kHangMs = 60000;

QByteArray pattern(int seed, int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((unsigned(i) * 31u + unsigned(seed) * 7u) & 0xffu);
    return b;
}

// Size of a segment as /proc/sysvipc/shm reports it; -1 when not listed.
qint64 procSegmentSize(int shmId)
{
    QFile f(QStringLiteral("/proc/sysvipc/shm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    f.readLine();
    while (!f.atEnd()) {
        const QList<QByteArray> cols = f.readLine().simplified().split(' ');
        if (cols.size() > 3 && cols.at(1).toInt() == shmId)
            return cols.at(3).toLongLong();
    }
    return -1;
}

// ---- second process -------------------------------------------------------------------

int childMain(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const QByteArray mode = argv[2];
    const QString keyPath = QString::fromLocal8Bit(argv[3]);
    MainFrameBlock block;
    if (!block.open(keyPath)) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(block.errorText()));
        return 3;
    }
    char line[64];
    if (mode == "writer") {
        // Writes frames 0..n-1, each after the reader asks for it with a line on stdin.
        const int n = std::atoi(argv[4]);
        for (int i = 0; i < n; ++i) {
            if (!std::fgets(line, sizeof line, stdin))
                return 4;
            const QByteArray frame = pattern(i, 1000 + i * 50000);
            if (block.write(frame.constData(), size_t(frame.size())) != MainFrameBlock::WriteResult::Written)
                return 5;
            std::printf("wrote %d\n", i);
            std::fflush(stdout);
        }
        return 0;
    }
    if (mode == "hold") {
        // Takes the lock and holds it until the file argv[4] appears (60 s at most), then
        // writes a frame by hand and gives the lock back.
        const QString release = QString::fromLocal8Bit(argc > 4 ? argv[4] : "");
        if (!block.semaphore().take())
            return 6;
        std::printf("held\n");
        std::fflush(stdout);
        for (int i = 0; i < 12000 && !QFile::exists(release); ++i)
            ::usleep(5000);
        const QByteArray frame = pattern(42, 4096);
        std::memcpy(static_cast<char*>(block.address()) + 4, frame.constData(), size_t(frame.size()));
        *static_cast<std::uint32_t*>(block.address()) = std::uint32_t(frame.size());
        if (!block.semaphore().give())
            return 7;
        return 0;
    }
    if (mode == "die-holding") {
        if (!block.semaphore().take())
            return 6;
        std::printf("held\n");
        std::fflush(stdout);
        ::_exit(9);
    }
    return 2;
}

std::atomic<int> g_alarms{0};

void onAlarm(int)
{
    ++g_alarms;
}

// State letter of thread `tid` of this process in /proc ('S': asleep, as in a blocked semop).
char threadState(pid_t tid)
{
    QFile f(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!f.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 ? stat.at(close + 2) : '?';
}

// Makes the file `release` once the calling thread is asleep inside `call` (and, with
// minAlarms, once that many alarms were caught meanwhile), so that a process holding the lock
// lets go only while the caller waits for it; returns what `call` returned.
template <typename Call> auto releaseWhileWaiting(const QString& release, int minAlarms, Call call)
{
    const pid_t caller = pid_t(::syscall(SYS_gettid));
    std::atomic<bool> calling{true};
    std::thread helper([&] {
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &alarm, nullptr);   // the alarms are for the caller
        for (int i = 0; i < 60000 && calling; ++i) {
            if (threadState(caller) == 'S' && g_alarms >= minAlarms)
                break;
            ::usleep(1000);
        }
        QFile(release).open(QIODevice::WriteOnly);
    });
    auto result = call();
    calling = false;
    helper.join();
    return result;
}

} // namespace

class TestMainFrameBlock : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<MainFrameBlock*> m_toRemove;

    MainFrameBlock* makeBlock()
    {
        auto* b = new MainFrameBlock;
        m_toRemove.append(b);
        return b;
    }

    // Starts this program as the second process and waits for it to be running.
    bool startChild(QProcess& p, const QStringList& args)
    {
        p.setProgram(QCoreApplication::applicationFilePath());
        p.setArguments(QStringList{QStringLiteral("--child")} + args);
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start();
        return p.waitForStarted(kHangMs);
    }

    static bool readLine(QProcess& p, QByteArray& line, int ms = kHangMs)
    {
        QElapsedTimer t;
        t.start();
        while (!p.canReadLine()) {
            if (t.elapsed() > ms || !p.waitForReadyRead(int(ms - t.elapsed())))
                return p.canReadLine() ? (line = p.readLine().trimmed(), true) : false;
        }
        line = p.readLine().trimmed();
        return true;
    }

    static void stopChild(QProcess& p)
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
    }

    void cleanup()
    {
        for (MainFrameBlock* b : qAsConst(m_toRemove)) {
            b->removeObjects();
            delete b;
        }
        m_toRemove.clear();
    }

    void keysDifferPerProjectId()
    {
        const key_t shm = MainFrameBlock::blockKey(m_dir.path());
        const key_t sem = MainFrameBlock::semaphoreKey(m_dir.path());
        QVERIFY(shm != -1);
        QVERIFY(sem != -1);
        QCOMPARE(shm, ::ftok(QFile::encodeName(m_dir.path()).constData(), 'S'));
        QCOMPARE(sem, ::ftok(QFile::encodeName(m_dir.path()).constData(), 'M'));
        QVERIFY(shm != sem);
        QCOMPARE(MainFrameBlock::blockKey(m_dir.path() + QStringLiteral("/missing")), key_t(-1));
    }

    void createMakesEmptyFreeBlockOfFixedSize()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY2(b->create(m_dir.path()), qPrintable(b->errorText()));
        QCOMPARE(b->segmentSize(), std::size_t(72351744));
        QCOMPARE(procSegmentSize(b->segmentId()), qint64(72351744));
        QCOMPARE(*static_cast<std::uint32_t*>(b->address()), 0u);
        QCOMPARE(b->semaphore().value(), 1);
        struct shmid_ds ds;
        QCOMPARE(::shmctl(b->segmentId(), IPC_STAT, &ds), 0);
        QCOMPARE(int(ds.shm_perm.mode & 0777), 0666);
        QByteArray out;
        QCOMPARE(b->take(out), MainFrameBlock::TakeResult::Empty);
    }

    void openNeedsCreatedObjects()
    {
        MainFrameBlock b;
        QVERIFY(!b.open(m_dir.path()));
        QCOMPARE(b.errorText(), QStringLiteral("semget failed"));
        QVERIFY(!b.isAttached());
        QByteArray out;
        QCOMPARE(b.take(out), MainFrameBlock::TakeResult::Failed);
        QCOMPARE(b.write("x", 1), MainFrameBlock::WriteResult::Failed);
    }

    // Each row: frame sizes written in order ("-" = a take in between), then what the final
    // take yields (expected size, -1 = empty).
    void writeThenTake_data()
    {
        QTest::addColumn<QList<qint64>>("writes");
        QTest::addColumn<QList<int>>("writeResults");
        QTest::addColumn<qint64>("takenSize");
        QTest::addColumn<int>("takenSeed");

        const qint64 area = qint64(kMainFrameAreaSize);
        const int W = int(MainFrameBlock::WriteResult::Written);
        const int D = int(MainFrameBlock::WriteResult::Dropped);
        QTest::newRow("one frame") << QList<qint64>{5000} << QList<int>{W} << qint64(5000) << 0;
        QTest::newRow("second write replaces first")
            << QList<qint64>{7000, 300} << QList<int>{W, W} << qint64(300) << 1;
        QTest::newRow("zero bytes leaves block empty") << QList<qint64>{0} << QList<int>{W} << qint64(-1) << 0;
        QTest::newRow("zero bytes after a frame empties it")
            << QList<qint64>{4000, 0} << QList<int>{W, W} << qint64(-1) << 0;
        QTest::newRow("frame filling the whole area") << QList<qint64>{area} << QList<int>{W} << area << 0;
        QTest::newRow("oversized frame dropped") << QList<qint64>{area + 1} << QList<int>{D} << qint64(-1) << 0;
        QTest::newRow("oversized frame keeps earlier one")
            << QList<qint64>{1234, area + 100} << QList<int>{W, D} << qint64(1234) << 0;
    }

    void writeThenTake()
    {
        QFETCH(QList<qint64>, writes);
        QFETCH(QList<int>, writeResults);
        QFETCH(qint64, takenSize);
        QFETCH(int, takenSeed);

        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        MainFrameBlock reader;
        QVERIFY(reader.open(m_dir.path()));

        // Guard bytes after the frame area are out of the segment: a write past it would crash
        // under the sanitizer; an oversized source buffer is readable so only the copy matters.
        for (int i = 0; i < writes.size(); ++i) {
            const QByteArray frame = pattern(i, int(qMin<qint64>(writes.at(i), kMainFrameAreaSize + 200)));
            QCOMPARE(int(b->write(frame.constData(), size_t(writes.at(i)))), writeResults.at(i));
        }
        QByteArray out;
        const MainFrameBlock::TakeResult r = reader.take(out);
        if (takenSize < 0) {
            QCOMPARE(r, MainFrameBlock::TakeResult::Empty);
        } else {
            QCOMPARE(r, MainFrameBlock::TakeResult::Taken);
            QCOMPARE(qint64(out.size()), takenSize);
            QVERIFY(out == pattern(takenSeed, int(takenSize)));
        }
        // A take right after a take finds nothing.
        QCOMPARE(reader.take(out), MainFrameBlock::TakeResult::Empty);
        QCOMPARE(b->semaphore().value(), 1);
    }

    void takeIntoMallocBuffer()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        const QByteArray frame = pattern(3, 777);
        QCOMPARE(b->write(frame.constData(), 777), MainFrameBlock::WriteResult::Written);
        unsigned char* data = nullptr;
        std::int32_t size = -1;
        QCOMPARE(b->take(&data, &size), MainFrameBlock::TakeResult::Taken);
        QVERIFY(data);
        QCOMPARE(size, 777);
        QVERIFY(std::memcmp(data, frame.constData(), 777) == 0);
        std::free(data);
        QCOMPARE(b->take(&data, &size), MainFrameBlock::TakeResult::Empty);
        QVERIFY(!data);
        QCOMPARE(size, 0);
    }

    void untrustedCountIsDiscarded_data()
    {
        QTest::addColumn<quint32>("count");
        QTest::newRow("one above the area") << quint32(kMainFrameAreaSize + 1);
        QTest::newRow("negative as signed") << quint32(0x80000000u);
        QTest::newRow("all bits") << quint32(0xffffffffu);
    }

    void untrustedCountIsDiscarded()
    {
        QFETCH(quint32, count);
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        *static_cast<std::uint32_t*>(b->address()) = count;
        QByteArray out("keep");
        QCOMPARE(b->take(out), MainFrameBlock::TakeResult::Empty);
        QCOMPARE(*static_cast<std::uint32_t*>(b->address()), 0u);
        unsigned char* data = nullptr;
        std::int32_t size = 0;
        *static_cast<std::uint32_t*>(b->address()) = count;
        QCOMPARE(b->take(&data, &size), MainFrameBlock::TakeResult::Empty);
        QVERIFY(!data);
        QCOMPARE(b->semaphore().value(), 1);
    }

    void countBeyondSignedSizeInHugeSegmentIsDiscarded()
    {
        // The reader takes a segment of any size: a count inside a segment above 2 GiB can still
        // be more than a frame's 32-bit signed size holds.
        constexpr std::size_t hugeSize = std::size_t(0x80000000u) + 4096;
        MainFrameSemaphore sem;
        bool made = false;
        QVERIFY(sem.create(MainFrameBlock::semaphoreKey(m_dir.path()), &made));
        QVERIFY(made);
        QVERIFY(sem.setFree());   // as the writer does with a set it made
        const int shmId = ::shmget(MainFrameBlock::blockKey(m_dir.path()), hugeSize, IPC_CREAT | IPC_EXCL | 0666);
        if (shmId < 0)
            sem.remove();
        QVERIFY2(shmId >= 0, std::strerror(errno));
        MainFrameBlock* b = makeBlock();
        const bool opened = b->open(m_dir.path());
        if (!opened) {
            ::shmctl(shmId, IPC_RMID, nullptr);
            sem.remove();
        }
        QVERIFY2(opened, qPrintable(b->errorText()));
        QCOMPARE(b->segmentSize(), hugeSize);
        auto* count = static_cast<std::uint32_t*>(b->address());
        *count = 0x80000001u;
        QByteArray out("keep");
        QCOMPARE(b->take(out), MainFrameBlock::TakeResult::Empty);
        QCOMPARE(*count, 0u);
        *count = 0x80000001u;
        unsigned char* data = nullptr;
        std::int32_t size = 0;
        QCOMPARE(b->take(&data, &size), MainFrameBlock::TakeResult::Empty);
        QVERIFY(!data);
        QCOMPARE(size, 0);
        QCOMPARE(*count, 0u);
    }

    void staleSegmentOfAnotherSizeIsReplaced_data()
    {
        QTest::addColumn<qint64>("staleSize");
        QTest::newRow("smaller") << qint64(4096);
        QTest::newRow("larger") << qint64(kMainFrameBlockSize + 4096);
    }

    void staleSegmentOfAnotherSizeIsReplaced()
    {
        QFETCH(qint64, staleSize);
        const key_t key = MainFrameBlock::blockKey(m_dir.path());
        const int staleId = ::shmget(key, size_t(staleSize), IPC_CREAT | IPC_EXCL | 0666);
        QVERIFY2(staleId >= 0, std::strerror(errno));
        MainFrameBlock* b = makeBlock();
        const bool ok = b->create(m_dir.path());
        if (!ok)
            ::shmctl(staleId, IPC_RMID, nullptr);
        QVERIFY2(ok, qPrintable(b->errorText()));
        QVERIFY(b->segmentId() != staleId);
        QCOMPARE(procSegmentSize(b->segmentId()), qint64(kMainFrameBlockSize));
        QCOMPARE(procSegmentSize(staleId), qint64(-1));
        // The reader finds the new segment under the key.
        MainFrameBlock reader;
        QVERIFY(reader.open(m_dir.path()));
        QCOMPARE(reader.segmentId(), b->segmentId());
    }

    // A second create() empties the block; the lock keeps what its holder left, since only a
    // set that create() made is initialised.
    void recreateResetsCountKeepsLock()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        QCOMPARE(b->write("abc", 3), MainFrameBlock::WriteResult::Written);
        QVERIFY(b->semaphore().take());
        QCOMPARE(b->semaphore().value(), 0);
        MainFrameBlock again;
        QVERIFY(again.create(m_dir.path()));
        QCOMPARE(again.segmentId(), b->segmentId());
        QCOMPARE(again.semaphore().value(), 0);
        QVERIFY(b->semaphore().give());
        QCOMPARE(again.semaphore().value(), 1);
        QByteArray out;
        QCOMPARE(again.take(out), MainFrameBlock::TakeResult::Empty);
    }

    // Row: whether the second attachment is the reader's open() or another create().
    void attachWhileLockHeldKeepsLock_data()
    {
        QTest::addColumn<bool>("creating");
        QTest::newRow("reader attaches") << false;
        QTest::newRow("writer attaches again") << true;
    }

    void attachWhileLockHeldKeepsLock()
    {
        QFETCH(bool, creating);
        MainFrameBlock* writer = makeBlock();
        QVERIFY(writer->create(m_dir.path()));
        QVERIFY(writer->semaphore().take());
        MainFrameBlock other;
        QVERIFY(creating ? other.create(m_dir.path()) : other.open(m_dir.path()));
        // Still held: the attachment did not free it behind the holder's back.
        QCOMPARE(other.semaphore().value(), 0);
        QVERIFY(writer->semaphore().give());
        // One free lock, not two: a take leaves nothing for a second taker.
        QCOMPARE(other.semaphore().value(), 1);
        QVERIFY(other.semaphore().take());
        QCOMPARE(writer->semaphore().value(), 0);
        QVERIFY(other.semaphore().give());
    }

    // Row: the value an older attach left in an existing set, and what create() makes of it.
    void createRepairsOnlyBrokenLock_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("expected");
        QTest::newRow("free") << 1 << 1;
        QTest::newRow("held") << 0 << 0;
        QTest::newRow("two: no lock any more") << 2 << 1;
        QTest::newRow("many") << 7 << 1;
    }

    void createRepairsOnlyBrokenLock()
    {
        QFETCH(int, left);
        QFETCH(int, expected);
        MainFrameBlock* first = makeBlock();
        QVERIFY(first->create(m_dir.path()));
        QCOMPARE(::semctl(first->semaphore().id(), 0, SETVAL, left), 0);
        MainFrameBlock again;
        QVERIFY(again.create(m_dir.path()));
        QCOMPARE(again.semaphore().id(), first->semaphore().id());
        QCOMPARE(again.semaphore().value(), expected);
        // The reader never changes it.
        MainFrameBlock reader;
        QVERIFY(reader.open(m_dir.path()));
        QCOMPARE(reader.semaphore().value(), expected);
        if (expected == 0)
            QCOMPARE(::semctl(first->semaphore().id(), 0, SETVAL, 1), 0);
    }

    void framesCrossProcesses()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));

        // ipcs lists the segment with its full size.
        QProcess ipcs;
        ipcs.start(QStringLiteral("ipcs"), {QStringLiteral("-m")});
        if (ipcs.waitForFinished(kHangMs) && ipcs.exitCode() == 0) {
            bool found = false;
            const QList<QByteArray> lines = ipcs.readAllStandardOutput().split('\n');
            for (const QByteArray& l : lines) {
                const QList<QByteArray> cols = l.simplified().split(' ');
                if (cols.size() > 4 && cols.at(1).toInt() == b->segmentId() && cols.at(1) != "shmid") {
                    QCOMPARE(cols.at(4), QByteArray("72351744"));
                    found = true;
                }
            }
            QVERIFY(found);
        }

        const int n = 5;
        QProcess child;
        QVERIFY(startChild(child, {QStringLiteral("writer"), m_dir.path(), QString::number(n)}));
        auto guard = qScopeGuard([&] { stopChild(child); });
        for (int i = 0; i < n; ++i) {
            child.write("go\n");
            QByteArray line;
            QVERIFY2(readLine(child, line), child.readAllStandardError().constData());
            QCOMPARE(line, QByteArray("wrote ") + QByteArray::number(i));
            QByteArray out;
            QCOMPARE(b->take(out), MainFrameBlock::TakeResult::Taken);
            QCOMPARE(out.size(), 1000 + i * 50000);
            QVERIFY(out == pattern(i, out.size()));
            QCOMPARE(b->take(out), MainFrameBlock::TakeResult::Empty);
        }
        QVERIFY(child.waitForFinished(kHangMs));
        QCOMPARE(child.exitCode(), 0);
    }

    void takeWaitsWhileOtherProcessHoldsLock()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        const QString release = m_dir.filePath(QStringLiteral("release"));
        QFile::remove(release);   // left by an earlier case
        QProcess child;
        QVERIFY(startChild(child, {QStringLiteral("hold"), m_dir.path(), release}));
        auto guard = qScopeGuard([&] { stopChild(child); });
        QByteArray line;
        QVERIFY(readLine(child, line));
        QCOMPARE(line, QByteArray("held"));
        // The holder writes its frame only once this take waits for the lock: a take that did
        // not wait would find the block empty.
        QByteArray out;
        QCOMPARE(releaseWhileWaiting(release, 0, [&] { return b->take(out); }), MainFrameBlock::TakeResult::Taken);
        QVERIFY(out == pattern(42, 4096));
        QVERIFY(child.waitForFinished(kHangMs));
        QCOMPARE(child.exitCode(), 0);
    }

    void interruptedWaitIsRetried()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        const QString release = m_dir.filePath(QStringLiteral("release"));
        QFile::remove(release);   // left by an earlier case
        QProcess child;
        QVERIFY(startChild(child, {QStringLiteral("hold"), m_dir.path(), release}));
        auto guard = qScopeGuard([&] { stopChild(child); });
        QByteArray line;
        QVERIFY(readLine(child, line));
        QCOMPARE(line, QByteArray("held"));

        // A handler without SA_RESTART: semop returns EINTR on every alarm. The holder lets go
        // after three alarms were caught while the take waited.
        g_alarms = 0;
        struct sigaction sa, old;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = onAlarm;
        sigemptyset(&sa.sa_mask);
        QCOMPARE(::sigaction(SIGALRM, &sa, &old), 0);
        struct itimerval tv;
        tv.it_interval = {0, 50000};
        tv.it_value = {0, 50000};
        ::setitimer(ITIMER_REAL, &tv, nullptr);
        QByteArray out;
        const MainFrameBlock::TakeResult r = releaseWhileWaiting(release, 3, [&] { return b->take(out); });
        struct itimerval off = {};
        ::setitimer(ITIMER_REAL, &off, nullptr);
        ::sigaction(SIGALRM, &old, nullptr);
        QCOMPARE(r, MainFrameBlock::TakeResult::Taken);
        QVERIFY(out == pattern(42, 4096));
        QVERIFY(g_alarms >= 3);
    }

    void lockOfDeadHolderIsGivenBack()
    {
        MainFrameBlock* b = makeBlock();
        QVERIFY(b->create(m_dir.path()));
        QProcess child;
        QVERIFY(startChild(child, {QStringLiteral("die-holding"), m_dir.path()}));
        auto guard = qScopeGuard([&] { stopChild(child); });
        QVERIFY(child.waitForFinished(kHangMs));
        QCOMPARE(child.exitCode(), 9);
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("held"));
        QCOMPARE(b->semaphore().value(), 1);
        QCOMPARE(b->write("after", 5), MainFrameBlock::WriteResult::Written);
    }

    void removeObjectsDeletesBoth()
    {
        auto* b = new MainFrameBlock;
        QVERIFY(b->create(m_dir.path()));
        const int shmId = b->segmentId();
        const int semId = b->semaphore().id();
        b->removeObjects();
        delete b;
        QCOMPARE(procSegmentSize(shmId), qint64(-1));
        QCOMPARE(::semctl(semId, 0, GETVAL), -1);
        MainFrameBlock reader;
        QVERIFY(!reader.open(m_dir.path()));
    }

    // The service's process-wide block is keyed by the program's folder.
    void serviceBlockKeyedByProgramFolder()
    {
        qputenv("ORVANE_PLATFORM_VERSION", "13.0");
        QVERIFY(!mainFrameProcessBlock());
        mainFrameWriteServiceFrame("ignored", 7);   // no block yet: nothing happens
        const quint64 address = createShareMemory();
        QVERIFY(address != 0);
        MainFrameBlock* service = mainFrameProcessBlock();
        QVERIFY(service);
        QCOMPARE(quint64(reinterpret_cast<quintptr>(service->address())), address);
        auto guard = qScopeGuard([&] { service->removeObjects(); });
        QCOMPARE(service->segmentId(),
                 ::shmget(MainFrameBlock::blockKey(QCoreApplication::applicationDirPath()), 0, 0666));
        const QByteArray frame = pattern(5, 2048);
        mainFrameWriteServiceFrame(frame.constData(), size_t(frame.size()));
        MainFrameBlock reader;
        QVERIFY(reader.open());
        QByteArray out;
        QCOMPARE(reader.take(out), MainFrameBlock::TakeResult::Taken);
        QVERIFY(out == frame);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestMainFrameBlock tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_mainframeblock.moc"
