#pragma once
// Collects the messages logged through Qt while alive (and still passes them on).

#include <QString>
#include <QStringList>
#include <QtGlobal>

class LogCapture
{
public:
    LogCapture()
    {
        lines().clear();
        previous() = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(previous()); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList messages() const { return lines(); }
    bool contains(const QString& text) const { return lines().contains(text); }
    // Number of messages that start with prefix.
    int countStartingWith(const QString& prefix) const
    {
        int n = 0;
        for (const QString& l : lines())
            n += l.startsWith(prefix) ? 1 : 0;
        return n;
    }

private:
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }
    static QtMessageHandler& previous()
    {
        static QtMessageHandler p = nullptr;
        return p;
    }
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
    {
        lines().append(msg);
        if (previous())
            previous()(type, context, msg);
    }
};
