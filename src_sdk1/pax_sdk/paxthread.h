#pragma once
// Loads the UI font resource in a thread of its own and hands out its family.

#include <QString>
#include <QThread>

class PaxThread : public QThread
{
    Q_OBJECT
public:
    explicit PaxThread(QObject* parent = nullptr);
    ~PaxThread() override;

    // Loads the font first when needed; blocks the caller (at least a second) until then.
    static QString getFontFamily();
    // Starts loading without waiting.
    static void loadFont();
    void _loadFont();

protected:
    void run() override;

private slots:
    void slotFinished();

private:
    int m_command = 0;
    QString m_family;
};
