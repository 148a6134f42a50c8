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

    // Loads the font first when needed and blocks until then. Blocking call: while the font is
    // not loaded it runs a nested event loop (QCoreApplication::processEvents once a second), so
    // the first call waits at least one second (about one when the font loads; the file is read
    // in the loader's thread), and every call waits at least a second again while the resource
    // fails to load. The loader's end is delivered to the thread that started it: call it first
    // from a thread with an event loop (the GUI thread, in the SDK facade's construction);
    // another thread asking meanwhile waits until that thread processes its events. Once the
    // family is known it returns at once, in any thread.
    static QString getFontFamily();
    // Starts loading without waiting (any thread; the end is delivered to the calling thread).
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
