#pragma once
// Catches the URLs QDesktopServices would open for a scheme, instead of starting a program.
// List this header in the test's SOURCES (it needs moc).

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    // Catches `scheme` (e.g. "file") from now until the catcher is destroyed.
    explicit UrlCatcher(const QString& scheme = QStringLiteral("file")) : m_scheme(scheme)
    {
        QDesktopServices::setUrlHandler(m_scheme, this, "open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(m_scheme); }

    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }

private:
    QString m_scheme;
};
