#pragma once
// Internals shared by the settings store's source files.

#include "paxdata.h"

#include <utility>

// Scoped hold of the store's lock; unlock() writes the keys queued under it before returning.
// A thread that already holds the lock (a receiver connected directly to a signal emitted under
// it) is refused: held() is false, and the operation returns at once without touching the store.
class PaxDataLocker
{
public:
    explicit PaxDataLocker(PaxData* data)
        : m_data(data)
        , m_locked(data->_lock())
    {
    }
    bool held() const { return m_locked; }
    ~PaxDataLocker() { unlock(); }
    PaxDataLocker(const PaxDataLocker&) = delete;
    PaxDataLocker& operator=(const PaxDataLocker&) = delete;

    void unlock()
    {
        if (m_locked) {
            m_locked = false;
            m_data->_unlock();
        }
    }
    void relock()
    {
        if (!m_locked) {
            m_data->_lock();
            m_locked = true;
        }
    }

private:
    PaxData* m_data;
    bool m_locked;
};

namespace pax_data {
// One member of the store read or replaced under its lock; a setter's notification is emitted
// by the caller after the call, with the lock released.
// A refused (re-entrant) call reads the value-initialised T and stores nothing; lockedSet then
// answers false so that no notification goes out.
template <class T>
T lockedGet(PaxData* data, const T& member)
{
    PaxDataLocker lock(data);
    if (!lock.held())
        return T{};
    return member;
}
template <class T>
bool lockedSet(PaxData* data, T& member, T value)
{
    PaxDataLocker lock(data);
    if (!lock.held())
        return false;
    member = std::move(value);
    return true;
}

// Section names of the five profiles, indexed by _PaxWorkModeE.
extern const char* const kSectionNames[PaxData::ModeCount];
// Keys of the camera image controls in section "common", indexed by PaxData::UvcControlE.
extern const char* const kUvcKeys[PaxData::UvcControlCount];
inline bool validMode(int mode) { return mode >= 0 && mode < PaxData::ModeCount; }
inline bool validCamera(int camera) { return camera == 0 || camera == 1; }
// The recording file-name prefix a camera has by default.
inline QString defaultVideoPrefix(int camera)
{
    return camera == 0 ? QStringLiteral("main") : QStringLiteral("second");
}
} // namespace pax_data
