#pragma once
// Reads the device layer's "[ERROR][file][function][line] text" messages logged while alive
// (every message still goes on to the handler it replaced).

#include "logcapture.h"

#include <QRegularExpression>
#include <QStringList>

class ErrorLines
{
public:
    // The logged lines of one function, as "line:text".
    QStringList of(const QString& function) const
    {
        static const QRegularExpression form(QStringLiteral("^\\[ERROR\\]\\[[^\\]]*\\]\\[([^\\]]*)\\]\\[(-?\\d+)\\] (.*)$"),
                                             QRegularExpression::DotMatchesEverythingOption);
        QStringList out;
        for (const QString& msg : m_log.messages()) {
            const QRegularExpressionMatch m = form.match(msg);
            if (m.hasMatch() && m.captured(1) == function)
                out << m.captured(2) + QLatin1Char(':') + m.captured(3);
        }
        return out;
    }

private:
    LogCapture m_log;
};
