#pragma once
// The shared main-camera frame block: one System V shared memory segment holding the
// latest frame, guarded by one System V semaphore. Korvid writes, the service client reads.
//
// Layout: offset 0, 32-bit frame byte count (0 = no unread frame); offset 4, the frame bytes.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

inline constexpr std::size_t kMainFrameBlockSize = 0x4500000;               // 72,351,744 bytes
inline constexpr std::size_t kMainFrameAreaSize = kMainFrameBlockSize - 4;  // frame bytes at most
inline constexpr int kMainFrameBlockProjectId = 'S';
inline constexpr int kMainFrameSemaphoreProjectId = 'M';

// Folder whose ftok keys both objects: applicationDirPath() of the running program.
QString mainFrameKeyPath();

// A semaphore set of one semaphore used as a lock (1 free, 0 held). Every take and give
// is one semop with SEM_UNDO, retried when a signal interrupts it. Move-only; owns nothing
// the kernel keeps (destruction leaves the set in place; remove() deletes it).
class MainFrameSemaphore
{
public:
    MainFrameSemaphore() = default;
    ~MainFrameSemaphore() = default;
    MainFrameSemaphore(MainFrameSemaphore&& other) noexcept;
    MainFrameSemaphore& operator=(MainFrameSemaphore&& other) noexcept;
    MainFrameSemaphore(const MainFrameSemaphore&) = delete;
    MainFrameSemaphore& operator=(const MainFrameSemaphore&) = delete;

    // create: semget(key, 1, IPC_CREAT | IPC_EXCL | 0666), or the existing set of the key when
    // there is one (*made tells which); open: semget(key, 0, 0666). Neither sets the value.
    bool create(key_t key, bool* made = nullptr);
    bool open(key_t key);
    bool setFree();   // SETVAL 1
    bool take();      // -1, SEM_UNDO
    bool give();      // +1, SEM_UNDO
    bool remove();    // IPC_RMID
    int value() const;  // GETVAL, -1 on failure

    bool isValid() const { return m_id >= 0; }
    int id() const { return m_id; }

private:
    bool _op(short delta);

    int m_id = -1;
};

// Attachment of the block plus its semaphore. Any thread may call take/write; the
// semaphore serialises them across threads and processes.
class MainFrameBlock
{
public:
    enum class WriteResult { Written, Dropped, Failed };
    enum class TakeResult { Taken, Empty, Failed };

    MainFrameBlock() = default;
    ~MainFrameBlock();   // detaches (shmdt); the kernel objects stay
    MainFrameBlock(const MainFrameBlock&) = delete;
    MainFrameBlock& operator=(const MainFrameBlock&) = delete;

    static key_t blockKey(const QString& keyPath);      // ftok(path, 'S'), -1 on failure
    static key_t semaphoreKey(const QString& keyPath);  // ftok(path, 'M'), -1 on failure

    // Writer side: creates or opens both objects, attaches and marks the block empty. A segment
    // of the key with another size is removed and made anew. Only a semaphore set this call
    // made is set free (a new set starts at 0); an existing set keeps the value its holders left,
    // unless that is above 1 (no lock any more), which is set back to 1.
    // On failure returns false with errorText() naming the failed call ("shmget failed", ...).
    bool create(const QString& keyPath = mainFrameKeyPath());
    // Reader side: opens both existing objects (never creates) and attaches. The lock value is
    // left alone: setting it here would free a lock the writer holds at that moment.
    bool open(const QString& keyPath = mainFrameKeyPath());

    // Writes one frame under the lock, replacing an unread one. A frame above the frame area
    // is dropped (logged once per run of such frames); a frame of 0 bytes leaves the block empty.
    WriteResult write(const void* data, std::size_t size);
    // Copies the unread frame out under the lock and marks the block empty. `out` keeps its
    // capacity between calls. A stored count above the frame area is discarded as corrupt.
    TakeResult take(QByteArray& out);
    // The same into a malloc'ed buffer the caller frees; *data is null unless Taken.
    TakeResult take(unsigned char** data, std::int32_t* size);

    // Detaches and removes both kernel objects (the reader's teardown).
    void removeObjects();
    void detach();

    bool isAttached() const { return m_base != nullptr; }
    int segmentId() const { return m_shmId; }
    std::size_t segmentSize() const { return m_size; }
    MainFrameSemaphore& semaphore() { return m_sem; }
    void* address() const { return m_base; }
    const QString& errorText() const { return m_error; }

private:
    bool _fail(const char* call);
    bool _attach(int shmId);
    // Start of create() and open(): detaches, makes both keys, creates or opens the semaphore
    // (initialising it only as create() says). *shmKey receives the block's key.
    bool _prepare(const QString& keyPath, bool creating, key_t* shmKey);
    template <typename Sink> TakeResult _take(Sink&& sink);

    // Acquired in this order, released in reverse.
    MainFrameSemaphore m_sem;
    int m_shmId = -1;
    void* m_base = nullptr;
    std::size_t m_size = 0;
    bool m_oversizeLogged = false;
    QString m_error;
};

// The service's start: on the Korvid path (isAvailableMacos13()) creates the process-wide
// block keyed by mainFrameKeyPath() and returns its address; 0 on the older path.
// Any failure prints the failed call with perror and ends the process with code 1.
quint64 createShareMemory();
// The block made by createShareMemory, or null.
MainFrameBlock* mainFrameProcessBlock();
// Writer sequence of the service's frame callback: writes into the process-wide block
// (nothing when there is none). A failed semaphore operation prints with perror
// ("semop(wait) failed" / "semop(signal) failed") and ends the process with code 1.
void mainFrameWriteServiceFrame(const void* data, std::size_t size);
