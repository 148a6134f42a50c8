#pragma once
// Internals shared by the settings store's source files.

#include "paxdata.h"

#include <utility>

// Scoped hold of the store's lock; unlock() writes the keys queued under it before returning.
class PaxDataLocker
{
public:
    explicit PaxDataLocker(PaxData* data)
        : m_data(data)
    {
        m_data->_lock();
    }
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
    bool m_locked = true;
};

namespace pax_data {
// One member of the store read or replaced under its lock; a setter's notification is emitted
// by the caller after the call, with the lock released.
template <class T>
T lockedGet(PaxData* data, const T& member)
{
    PaxDataLocker lock(data);
    return member;
}
template <class T>
void lockedSet(PaxData* data, T& member, T value)
{
    PaxDataLocker lock(data);
    member = std::move(value);
}

// Section names of the five profiles, indexed by _PaxWorkModeE.
extern const char* const kSectionNames[PaxData::ModeCount];
inline bool validMode(int mode) { return mode >= 0 && mode < PaxData::ModeCount; }
inline bool validCamera(int camera) { return camera == 0 || camera == 1; }
} // namespace pax_data
