#pragma once
// Records the device layer's "[ERROR][file][function][line] text" messages while alive,
// as "function:line:text", and hands every message on to the handler it replaced.

#include <QMutex>
#include <QRegularExpression>
#include <QStringList>
#include <QtGlobal>

class ErrorLines
{
public:
    ErrorLines()
    {
        QMutexLocker lock(&mutex());
        lines().clear();
        previous() = qInstallMessageHandler(&ErrorLines::handle);
    }
    ~ErrorLines() { qInstallMessageHandler(previous()); }

    // The recorded lines of one function, as "line:text".
    QStringList of(const QString& function) const
    {
        QMutexLocker lock(&mutex());
        QStringList out;
        const QString head = function + QLatin1Char(':');
        for (const QString& l : lines())
            if (l.startsWith(head))
                out << l.mid(head.size());
        return out;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& msg)
    {
        static const QRegularExpression form(QStringLiteral("^\\[ERROR\\]\\[[^\\]]*\\]\\[([^\\]]*)\\]\\[(-?\\d+)\\] (.*)$"),
                                             QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = form.match(msg);
        QtMessageHandler next;
        {
            QMutexLocker lock(&mutex());
            if (m.hasMatch())
                lines() << m.captured(1) + QLatin1Char(':') + m.captured(2) + QLatin1Char(':') + m.captured(3);
            next = previous();
        }
        if (next)
            next(type, context, msg);
    }
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList& lines()
    {
        static QStringList l;
        return l;
    }
    static QtMessageHandler& previous()
    {
        static QtMessageHandler h = nullptr;
        return h;
    }
};
