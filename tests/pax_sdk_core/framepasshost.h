#pragma once
// The product's store host with the main camera's sizes set by the test and every report counted.

#include "paxframehost.h"

#include <QMutex>
#include <QStringList>

class RecordingFrameHost : public PaxFrameStoreHost
{
public:
    using PaxFrameStoreHost::PaxFrameStoreHost;

    void setSolutions(const QString& real, const QString& requested)
    {
        QMutexLocker lock(&m_mutex);
        m_real = real;
        m_requested = requested;
    }
    void setFontFamily(const QString& family) { m_family = family; }

    void mainSolutions(QString& real, QString& requested) override
    {
        QMutexLocker lock(&m_mutex);
        real = m_real;
        requested = m_requested;
    }
    QString fontFamily() override { return m_family.isNull() ? PaxFrameStoreHost::fontFamily() : m_family; }
    void captured(const QImage& frame) override
    {
        QMutexLocker lock(&m_mutex);
        capturedFrames.append(frame);
    }
    void grabbed(const QString& fileName) override
    {
        QMutexLocker lock(&m_mutex);
        grabs.append(fileName);
    }
    void intelligentGrabReported() override
    {
        QMutexLocker lock(&m_mutex);
        ++intelligentReports;
    }

    QList<QImage> capturedFrames;
    QStringList grabs;
    int intelligentReports = 0;

private:
    QMutex m_mutex;
    QString m_real = QStringLiteral("1280x720");
    QString m_requested = QStringLiteral("1280x720");
    QString m_family;
};
