#include "paxsettingsfile.h"

#include "paxintool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace paxsettings {

void dropByteOrderMark(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.peek(3) != QByteArray("\xEF\xBB\xBF"))
        return;
    const QByteArray body = file.readAll().mid(3);
    file.close();
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(body) != body.size() || !out.commit())
        PAX_LOG_ERROR("cannot drop the byte-order mark of %s", qPrintable(path));
}

QString setAsideName(const QString& path)
{
    const QString base = path + QStringLiteral(".damaged");
    QString name = base;
    for (int n = 1; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('.') + QString::number(n);
    return name;
}

bool usableFolder(const QVariant& value)
{
    const QString path = value.toString();
    if (path.isEmpty() || QDir::isRelativePath(path))
        return false;
    const QFileInfo info(path);
    return !info.exists() || info.isDir();
}

} // namespace paxsettings
