#pragma once
// Keeps every message logged through Qt. An instance installs the capturing handler while
// alive (restoring the one it replaced) and may hand each message on to that handler; code
// that manages the handler itself can install LogCapture::handler directly.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

class LogCapture
{
public:
    enum Forwarding { PassOn, KeepOnly };

    explicit LogCapture(Forwarding forwarding = PassOn)
    {
        clear();
        m_replaced = qInstallMessageHandler(&LogCapture::handler);
        if (m_replaced == &LogCapture::handler)
            return;   // nested in another capture: keep its forwarding
        QMutexLocker lock(&state().mutex);
        state().next = forwarding == PassOn ? m_replaced : nullptr;
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_replaced);
        QMutexLocker lock(&state().mutex);
        if (m_replaced != &LogCapture::handler)
            state().next = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
    {
        QtMessageHandler next;
        {
            QMutexLocker lock(&state().mutex);
            state().lines.append(msg);
            next = state().next;
        }
        if (next)
            next(type, context, msg);
    }

    static QStringList messages()
    {
        QMutexLocker lock(&state().mutex);
        return state().lines;
    }
    // The messages kept so far; the store is emptied.
    static QStringList take()
    {
        QMutexLocker lock(&state().mutex);
        QStringList out;
        out.swap(state().lines);
        return out;
    }
    static void clear()
    {
        QMutexLocker lock(&state().mutex);
        state().lines.clear();
    }

    static bool contains(const QString& message) { return messages().contains(message); }
    static int count(const std::function<bool(const QString&)>& match)
    {
        int n = 0;
        for (const QString& line : messages())
            n += match(line) ? 1 : 0;
        return n;
    }
    static int countStartingWith(const QString& prefix)
    {
        return count([&](const QString& line) { return line.startsWith(prefix); });
    }
    static int countContaining(const QString& text)
    {
        return count([&](const QString& line) { return line.contains(text); });
    }
    // Whether a message kept so far holds `text`.
    static bool anyContaining(const QString& text) { return countContaining(text) > 0; }

private:
    struct State
    {
        QMutex mutex;
        QStringList lines;
        QtMessageHandler next = nullptr;
    };
    static State& state()
    {
        static State s;
        return s;
    }

    QtMessageHandler m_replaced = nullptr;
};
