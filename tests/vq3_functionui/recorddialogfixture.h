#pragma once
// What the recording dialog tests set up alike: the settings and the screen recorder's folders
// in one temporary folder for the whole run, and a fresh camera SDK double installed for each
// test. Call the four steps from the test's slots of the same names.

#include "fakecamerasdk.h"
#include "mymemory.h"
#include "paxscreenqtlib.h"
#include "screengeometry.h"

#include <QTemporaryDir>

class RecordDialogFixture
{
public:
    // False when the temporary folder could not be made.
    bool initTestCase()
    {
        if (!m_dir.isValid())
            return false;
        MyMemory::setSavePath(m_dir.filePath("app"));
        PaxScreenQtLib::setSavePath(m_dir.filePath("screen/"));
        return true;
    }
    // The double of this test, installed as the dialogs' camera SDK.
    FakeCameraSdk* init()
    {
        m_sdk = new FakeCameraSdk;
        DialogCameraSdk::setInstance(m_sdk);
        return m_sdk;
    }
    void cleanup()
    {
        DialogCameraSdk::setInstance(nullptr);
        delete m_sdk;
        m_sdk = nullptr;
        ScreenGeometry::clearOverride();
    }
    void cleanupTestCase()
    {
        PaxScreenQtLib::releaseInstance();
        MyMemory::releaseInstance();
    }

private:
    QTemporaryDir m_dir;
    FakeCameraSdk* m_sdk = nullptr;
};
