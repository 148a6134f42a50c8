#include "mainframeblock.h"

#include "paxintool.h"
#include "paxmacos.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

namespace {

union SemArg {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
};

} // namespace

QString mainFrameKeyPath()
{
    return QCoreApplication::applicationDirPath();
}

// ---------------------------------------------------------------------------------------
// MainFrameSemaphore

MainFrameSemaphore::MainFrameSemaphore(MainFrameSemaphore&& other) noexcept
    : m_id(other.m_id)
{
    other.m_id = -1;
}

MainFrameSemaphore& MainFrameSemaphore::operator=(MainFrameSemaphore&& other) noexcept
{
    if (this != &other) {
        m_id = other.m_id;
        other.m_id = -1;
    }
    return *this;
}

bool MainFrameSemaphore::create(key_t key, bool* made)
{
    if (made)
        *made = false;
    m_id = ::semget(key, 1, IPC_CREAT | IPC_EXCL | 0666);
    if (m_id >= 0) {
        if (made)
            *made = true;
        return true;
    }
    if (errno != EEXIST)
        return false;
    m_id = ::semget(key, 1, 0666);
    return m_id >= 0;
}

bool MainFrameSemaphore::open(key_t key)
{
    m_id = ::semget(key, 0, 0666);
    return m_id >= 0;
}

bool MainFrameSemaphore::setFree()
{
    if (m_id < 0) {
        errno = EINVAL;
        return false;
    }
    SemArg arg;
    arg.val = 1;
    return ::semctl(m_id, 0, SETVAL, arg) == 0;
}

bool MainFrameSemaphore::_op(short delta)
{
    if (m_id < 0) {
        errno = EINVAL;
        return false;
    }
    struct sembuf op;
    op.sem_num = 0;
    op.sem_op = delta;
    op.sem_flg = SEM_UNDO;
    for (;;) {
        if (::semop(m_id, &op, 1) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool MainFrameSemaphore::take()
{
    return _op(-1);
}

bool MainFrameSemaphore::give()
{
    return _op(1);
}

bool MainFrameSemaphore::remove()
{
    if (m_id < 0)
        return false;
    const bool ok = ::semctl(m_id, 0, IPC_RMID) == 0;
    m_id = -1;
    return ok;
}

int MainFrameSemaphore::value() const
{
    if (m_id < 0)
        return -1;
    return ::semctl(m_id, 0, GETVAL);
}

// ---------------------------------------------------------------------------------------
// MainFrameBlock

MainFrameBlock::~MainFrameBlock()
{
    detach();
}

key_t MainFrameBlock::blockKey(const QString& keyPath)
{
    return ::ftok(QFile::encodeName(keyPath).constData(), kMainFrameBlockProjectId);
}

key_t MainFrameBlock::semaphoreKey(const QString& keyPath)
{
    return ::ftok(QFile::encodeName(keyPath).constData(), kMainFrameSemaphoreProjectId);
}

bool MainFrameBlock::_fail(const char* call)
{
    const int err = errno;
    m_error = QString::fromLatin1(call);
    PAX_LOG_ERROR("%s: %s", call, std::strerror(err));
    errno = err;
    return false;
}

bool MainFrameBlock::_attach(int shmId)
{
    void* base = ::shmat(shmId, nullptr, 0);
    if (base == reinterpret_cast<void*>(-1))
        return _fail("shmat failed");
    struct shmid_ds ds;
    if (::shmctl(shmId, IPC_STAT, &ds) != 0) {
        const int err = errno;
        ::shmdt(base);
        errno = err;
        return _fail("shmctl(IPC_STAT) failed");
    }
    if (ds.shm_segsz < kMainFrameBlockSize) {
        ::shmdt(base);
        errno = EINVAL;
        return _fail("shmget failed");
    }
    m_shmId = shmId;
    m_base = base;
    m_size = ds.shm_segsz;
    return true;
}

bool MainFrameBlock::_prepare(const QString& keyPath, bool creating, key_t* shmKey)
{
    detach();
    m_error.clear();
    *shmKey = blockKey(keyPath);
    if (*shmKey == -1)
        return _fail("shm_key ftok failed");
    const key_t semKey = semaphoreKey(keyPath);
    if (semKey == -1)
        return _fail("sem_key ftok failed");
    bool made = false;
    if (!(creating ? m_sem.create(semKey, &made) : m_sem.open(semKey)))
        return _fail("semget failed");
    // Readers never touch the value. The writer frees a set it made, and one whose value no
    // lock can have (left so by an older reader that reset it while the lock was held).
    if (creating && (made || m_sem.value() > 1) && !m_sem.setFree())
        return _fail("semctl(SETVAL) failed");
    return true;
}

bool MainFrameBlock::create(const QString& keyPath)
{
    key_t shmKey = -1;
    if (!_prepare(keyPath, true, &shmKey))
        return false;

    int shmId = ::shmget(shmKey, kMainFrameBlockSize, IPC_CREAT | 0666);
    bool stale = false;
    if (shmId < 0 && errno == EINVAL) {
        stale = true;   // a smaller segment of the key exists
    } else if (shmId >= 0) {
        struct shmid_ds ds;
        if (::shmctl(shmId, IPC_STAT, &ds) == 0 && ds.shm_segsz != kMainFrameBlockSize)
            stale = true;   // a larger one
    }
    if (stale) {
        const int oldId = shmId >= 0 ? shmId : ::shmget(shmKey, 0, 0666);
        if (oldId >= 0) {
            PAX_LOG_DEBUG("removing stale shared memory segment %d of another size", oldId);
            ::shmctl(oldId, IPC_RMID, nullptr);
        }
        shmId = ::shmget(shmKey, kMainFrameBlockSize, IPC_CREAT | 0666);
    }
    if (shmId < 0)
        return _fail("shmget failed");
    std::printf("Shared memory created with ID: %d\n", shmId);
    std::fflush(stdout);
    if (!_attach(shmId))
        return false;
    *static_cast<volatile std::uint32_t*>(m_base) = 0;
    return true;
}

bool MainFrameBlock::open(const QString& keyPath)
{
    key_t shmKey = -1;
    if (!_prepare(keyPath, false, &shmKey))
        return false;
    const int shmId = ::shmget(shmKey, 0, 0666);
    if (shmId < 0)
        return _fail("shmget failed");
    return _attach(shmId);
}

MainFrameBlock::WriteResult MainFrameBlock::write(const void* data, std::size_t size)
{
    if (!m_base) {
        m_error = QStringLiteral("not attached");
        return WriteResult::Failed;
    }
    const std::size_t area = m_size - 4;
    if (size > area) {
        if (!m_oversizeLogged) {
            m_oversizeLogged = true;
            PAX_LOG_ERROR("frame of %zu bytes is larger than the block's %zu bytes: dropped", size, area);
        }
        return WriteResult::Dropped;
    }
    m_oversizeLogged = false;
    if (size > 0 && !data)
        size = 0;
    if (!m_sem.take()) {
        _fail("semop(wait) failed");
        return WriteResult::Failed;
    }
    auto* count = static_cast<std::uint32_t*>(m_base);
    if (size > 0)
        std::memcpy(static_cast<unsigned char*>(m_base) + 4, data, size);
    *count = static_cast<std::uint32_t>(size);
    if (!m_sem.give()) {
        _fail("semop(signal) failed");
        return WriteResult::Failed;
    }
    return WriteResult::Written;
}

template <typename Sink>
MainFrameBlock::TakeResult MainFrameBlock::_take(Sink&& sink)
{
    if (!m_base) {
        m_error = QStringLiteral("not attached");
        return TakeResult::Failed;
    }
    if (!m_sem.take()) {
        _fail("semop(wait) failed");
        return TakeResult::Failed;
    }
    auto* count = static_cast<std::uint32_t*>(m_base);
    const std::uint32_t n = *count;
    // A frame's size is a signed 32-bit count, whatever the size of the segment.
    const std::size_t area = std::min<std::size_t>(m_size - 4, std::size_t(INT32_MAX));
    TakeResult result = TakeResult::Empty;
    if (n > area) {
        PAX_LOG_ERROR("frame count %u of the shared block exceeds its frame area: discarded", n);
        *count = 0;
    } else if (n > 0) {
        result = sink(static_cast<const unsigned char*>(m_base) + 4, n) ? TakeResult::Taken
                                                                          : TakeResult::Failed;
        *count = 0;
    }
    if (!m_sem.give()) {
        _fail("semop(signal) failed");
        return TakeResult::Failed;
    }
    return result;
}

MainFrameBlock::TakeResult MainFrameBlock::take(QByteArray& out)
{
    return _take([&out](const unsigned char* src, std::uint32_t n) {
        out.resize(int(n));
        std::memcpy(out.data(), src, n);
        return true;
    });
}

MainFrameBlock::TakeResult MainFrameBlock::take(unsigned char** data, std::int32_t* size)
{
    *data = nullptr;
    *size = 0;
    return _take([data, size](const unsigned char* src, std::uint32_t n) {
        auto* buf = static_cast<unsigned char*>(std::malloc(n));
        if (!buf)
            return false;
        std::memcpy(buf, src, n);
        *data = buf;
        *size = std::int32_t(n);
        return true;
    });
}

void MainFrameBlock::detach()
{
    if (m_base) {
        ::shmdt(m_base);
        m_base = nullptr;
    }
    m_size = 0;
}

void MainFrameBlock::removeObjects()
{
    detach();
    if (m_shmId >= 0) {
        ::shmctl(m_shmId, IPC_RMID, nullptr);
        m_shmId = -1;
    }
    m_sem.remove();
}

// ---------------------------------------------------------------------------------------
// The service's process-wide block

namespace {
std::unique_ptr<MainFrameBlock> g_processBlock;
}

quint64 createShareMemory()
{
    if (!isAvailableMacos13())
        return 0;
    auto block = std::make_unique<MainFrameBlock>();
    if (!block->create()) {
        std::perror(block->errorText().toLocal8Bit().constData());
        std::exit(1);
    }
    g_processBlock = std::move(block);
    return quint64(reinterpret_cast<quintptr>(g_processBlock->address()));
}

MainFrameBlock* mainFrameProcessBlock()
{
    return g_processBlock.get();
}

void mainFrameWriteServiceFrame(const void* data, std::size_t size)
{
    MainFrameBlock* block = g_processBlock.get();
    if (!block)
        return;
    if (block->write(data, size) == MainFrameBlock::WriteResult::Failed) {
        std::perror(block->errorText().toLocal8Bit().constData());
        std::fflush(stdout);
        ::_exit(1);
    }
}
