#pragma once
// What pdfinfo reads of a PDF file.

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>

namespace pdfprobe {

// Page sizes in points of the first 100 pages; empty when pdfinfo cannot read the file.
inline QList<QSizeF> pageSizes(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                        QStringLiteral("100"), file});
    p.waitForFinished(60000);   // a ceiling that only catches a hung pdfinfo
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    QList<QSizeF> pages;
    const QRegularExpression re(QStringLiteral("Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts"));
    auto it = re.globalMatch(out);
    while (it.hasNext()) {
        const auto m = it.next();
        pages.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()));
    }
    return pages;
}

} // namespace pdfprobe
